// The cookie store on disk: Netscape cookie files, one cookie a line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace meridian::net {
class TNetCookieManager;
}

namespace meridian::fetch {

// Files the cookies of a Netscape cookie file into `manager`. Each line holds
// seven tab-separated fields: domain, subdomains flag ("TRUE" or "FALSE"),
// path, secure flag, expiry (seconds since 1970; 0 for a session cookie),
// name and value. Lines beginning with "#" are comments, except that a
// "#HttpOnly_" prefix of the domain is dropped and the line read. A line of
// another shape is skipped. "TRUE" subdomains give the domain a leading ".".
// Cookies already expired are not filed. Returns the number of cookies read.
int32_t ReadCookieFile(std::string_view text, net::TNetCookieManager& manager);
// Every cookie of `manager` that has not expired in the same form, after a
// comment line naming the format. Cookies whose fields hold a tab or a line
// break cannot be written in this form and are left out.
std::string CookieFileText(net::TNetCookieManager& manager);

// The same on a file. Loading a file that does not exist reads nothing.
// Throws EFetchError 26 when an existing file cannot be read; saving throws
// EFetchError 23 when the file cannot be written.
void LoadCookieFile(const std::string& file_name, net::TNetCookieManager& manager);
void SaveCookieFile(const std::string& file_name, net::TNetCookieManager& manager);

}  // namespace meridian::fetch

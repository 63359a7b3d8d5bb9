// The URL record: a URI taken apart into its parts and put together again.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "rtl/bit_set.h"

namespace meridian::net {

enum TNetURIOptionalPart : uint8_t {
  upAuthInfo,  // user name and password
  upBookmark,  // the fragment
};
using TNetURIOptionalParts = rtl::TSet<TNetURIOptionalPart>;

// A URI and its parts:
//   Protocol "://" [Username [":" Password] "@"] Host [":" Port] Path Document Params ["#" Bookmark]
// Parsing is positional: it splits at the first or last occurrence of a few
// delimiters, never validates, never decodes percent escapes and never fails;
// malformed input yields whatever parts the rules give. Texts are bytes of
// the process code page; the searches are double-byte aware.
// Writing a part changes nothing else (no re-parse, no update of the URI
// text). A plain value type; not thread-safe.
class TNetURI {
 public:
  // Parses `uri` when it is not empty.
  explicit TNetURI(std::string_view uri = "");

  // Composes Protocol "://" [Username [":" Password] "@"] Host [":" Port] Path
  // Document Params ["#" Bookmark], the bracketed parts only when not empty and
  // asked for. A Host holding ":" (an IPv6 address) is written in "[" "]".
  // Nothing is encoded; Path is written as it is even without a leading "/".
  // Throws ENetURIException "Protocol field is empty" or, after that,
  // "Host field is empty".
  std::string ComposeURI(TNetURIOptionalParts optional_parts = {upAuthInfo, upBookmark}) const;

  // The URI without user name, password and fragment. Stores the composition
  // with them as the URI text (URIText) first.
  // Throws what ComposeURI throws, before anything changes.
  std::string URI();
  // Replaces every "\" by "/", stores the result as the URI text and parses it
  // into the parts, all of which are cleared first:
  // - absolute ("scheme://..."): Protocol before the first "://"; the
  //   authority up to the next "/", its user-info before its first "@" (user
  //   name before the first ":" of that, password after it; no password without
  //   a user name), Host before the first ":" of the rest and Port after it
  //   (or, for "[" literal "]" [":" port], Host the literal without its
  //   brackets: an IPv6 address);
  //   Path is "/" at least;
  // - relative: no authority, Path without a "/" put in front, and a "#" in the
  //   document stays part of the Document.
  // Params begins at the first "?" or, when there is none, the first "=";
  // Path runs to the last "/" before it, Document from there to it; a "#"
  // ends Params and starts Bookmark.
  void SetURI(std::string_view uri);
  // The URI text as last assigned (normalised) or as last composed by URI().
  const std::string& URIText() const { return uri_; }

  // Replaces every "\" in `path` by "/". On a code page with lead bytes the
  // byte after a lead byte is left alone.
  static void NormalizeSlashes(std::string& path);
  // `host` as it stands in a URI's authority or a Host header: in "[" "]"
  // when it holds a ":" (an IPv6 address), else unchanged.
  static std::string AuthorityHost(const std::string& host);

  const std::string& Protocol() const { return protocol_; }
  void SetProtocol(std::string value) { protocol_ = std::move(value); }
  const std::string& Username() const { return username_; }
  void SetUsername(std::string value) { username_ = std::move(value); }
  const std::string& Password() const { return password_; }
  void SetPassword(std::string value) { password_ = std::move(value); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string value) { host_ = std::move(value); }
  // Text, not a number; empty when the URI has none.
  const std::string& Port() const { return port_; }
  void SetPort(std::string value) { port_ = std::move(value); }
  // The directory part, ending with "/" when it is not empty.
  const std::string& Path() const { return path_; }
  void SetPath(std::string value) { path_ = std::move(value); }
  // The last path segment, up to the query.
  const std::string& Document() const { return document_; }
  void SetDocument(std::string value) { document_ = std::move(value); }
  // The query, beginning with its "?" (or "="), without the fragment.
  const std::string& Params() const { return params_; }
  void SetParams(std::string value) { params_ = std::move(value); }
  // The fragment, without its "#".
  const std::string& Bookmark() const { return bookmark_; }
  void SetBookmark(std::string value) { bookmark_ = std::move(value); }

 private:
  void ParsePathAndQuery(std::string_view rest, bool absolute);
  // Host and Port of a bracketed authority; false (nothing set) for any other.
  bool SplitBracketedHost(std::string_view authority);

  std::string document_;
  std::string protocol_;
  std::string uri_;
  std::string port_;
  std::string path_;
  std::string host_;
  std::string bookmark_;
  std::string username_;
  std::string password_;
  std::string params_;
};

}  // namespace meridian::net

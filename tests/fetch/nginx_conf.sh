# Sourced by the scripts that run nginx on loopback for meridian-fetch.
# nginx_conf DIR PORT ROOT HTTP_LINES SERVER_LINES: writes DIR/nginx.conf for
# one foreground nginx process that keeps every file it writes in DIR, listens
# on 127.0.0.1:PORT and serves ROOT; HTTP_LINES and SERVER_LINES are added to
# the http and server blocks.
nginx_conf() {
  local dir=$1 port=$2 root=$3 http_lines=$4 server_lines=$5
  cat >"$dir/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log;
events { worker_connections 64; }
http {
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi;
  scgi_temp_path $dir/scgi;
  default_type application/octet-stream;
$http_lines
  server {
    listen 127.0.0.1:$port;
    root $root;
$server_lines
  }
}
CONF
}

#!/bin/bash
# The web server of the demo, the end-to-end tests and the benchmarks: nginx
# serving the folder ROOT on port 80 of one loopback address, with its
# settings, pid file and logs in the folder DIR. Like most offices' servers it
# holds two sites on that address: an empty default site, and the site named
# after the address, which serves ROOT, so only a request that names its
# host reaches the files.
#
# Given the folder TLS of test-certs.sh, the same server also holds HTTPS
# sites for the name localhost on 127.0.0.1, each on a free port of its own,
# written to DIR/https-SITE: good (serves ROOT; /downgrade/X redirects to X
# on the plain site and /loop to itself), untrusted, wrong-name, expired and
# unknown-ca (named after their certificates, each sent alone), and old-tls
# (the good certificate, TLS 1.0 only). The plain site then sends /to-https/X
# to X on the good one.
#   web-server.sh free FIRST LAST         prints the first 127.0.0.N, N from
#                                         FIRST to LAST, with nothing on port 80
#   web-server.sh start DIR ROOT ADDRESS [TLS]
#                                         (stops an earlier server of DIR first)
#   web-server.sh stop DIR
set -euo pipefail
action="$1"
dir="$(realpath -m "${2:-.}")"
pidfile="$dir/nginx.pid"

TLS_SITES=(good untrusted wrong-name expired unknown-ca old-tls)

# `count` free TCP ports of 127.0.0.1, one a line.
free_ports() {
    python3 -c '
import socket, sys
held = [socket.socket() for _ in range(int(sys.argv[1]))]
for s in held:
    s.bind(("127.0.0.1", 0))
print("\n".join(str(s.getsockname()[1]) for s in held))' "$1"
}

# The HTTPS sites' server blocks for the certificates in $1, the plain site's
# address $2 and the ports in the array `ports`.
tls_sites() {
    local i site
    for i in "${!TLS_SITES[@]}"; do
        site="${TLS_SITES[$i]}"
        echo "  server { listen 127.0.0.1:${ports[$i]} ssl; server_name localhost; root $root;"
        if [ "$site" = old-tls ]; then
            # OpenSSL 3 serves TLS 1.0 only at security level 0.
            echo "    ssl_protocols TLSv1; ssl_ciphers \"DEFAULT:@SECLEVEL=0\";"
            site=good
        fi
        echo "    ssl_certificate $1/$site.pem; ssl_certificate_key $1/server.key;"
        [ "$i" -ne 0 ] || echo "    location /downgrade/ { rewrite ^/downgrade/(.*)\$ http://$2/\$1 permanent; }
    location = /loop { return 302 /loop; }"
        echo "  }"
    done
}

stop() {
    [ -s "$pidfile" ] || return 0
    local pid
    pid="$(cat "$pidfile")"
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    rm -f "$pidfile"
}

case "$action" in
free)
    for n in $(seq "$2" "$3"); do
        ss -ltnH "( sport = :80 )" | awk '{print $4}' |
            grep -qE "^(127\.0\.0\.$n|0\.0\.0\.0|\*|\[::\]):80$" || { echo "127.0.0.$n"; exit 0; }
    done
    echo "web-server: no free loopback address for port 80" >&2
    exit 1
    ;;
start)
    stop
    root="$(realpath -m "$3")"
    mkdir -p "$dir/logs" "$dir/tmp" "$dir/default-site" "$root"
    tls="${5:+$(realpath -m "$5")}"
    ports=()
    to_https=""
    rm -f "$dir"/https-*
    if [ -n "$tls" ]; then
        mapfile -t ports < <(free_ports "${#TLS_SITES[@]}")
        to_https="location /to-https/ { rewrite ^/to-https/(.*)\$ https://localhost:${ports[0]}/\$1 permanent; }"
    fi
    cat >"$dir/nginx.conf" <<NGINX
worker_processes 1;
pid $pidfile;
error_log $dir/logs/error.log;
$( [ "$(id -u)" -eq 0 ] && echo "user root;" )
events { worker_connections 64; }
http {
  access_log $dir/logs/access.log;
  default_type application/octet-stream;
  client_body_temp_path $dir/tmp;
  proxy_temp_path $dir/tmp;
  fastcgi_temp_path $dir/tmp;
  uwsgi_temp_path $dir/tmp;
  scgi_temp_path $dir/tmp;
  server { listen $4:80 default_server; root $dir/default-site; }
  server { listen $4:80; server_name $4; root $root; $to_https}
$( [ -z "$tls" ] || tls_sites "$tls" "$4" )
}
NGINX
    nginx -c "$dir/nginx.conf" -p "$dir"
    for _ in $(seq 1 50); do [ -s "$pidfile" ] && break; sleep 0.1; done
    [ -s "$pidfile" ] || { echo "web-server: nginx did not start on $4" >&2; exit 1; }
    for i in "${!ports[@]}"; do printf %s "${ports[$i]}" >"$dir/https-${TLS_SITES[$i]}"; done
    ;;
stop)
    stop
    ;;
*)
    echo "usage: web-server.sh free FIRST LAST | start DIR ROOT ADDRESS [TLS] | stop DIR" >&2
    exit 2
    ;;
esac

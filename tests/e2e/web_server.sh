#!/bin/bash
# Starts or stops the web server of the end-to-end tests: nginx serving the
# folder WWW on port 80 of the loopback addresses 127.0.0.2 to 127.0.0.39
# (one address per test), and maps Wine's drive D: to a folder of the tests.
#   web_server.sh start BUILD_DIR
#   web_server.sh stop BUILD_DIR
set -euo pipefail
action="$1"
build="$2"
base="$build/e2e-server"
pidfile="$base/nginx.pid"

first_host=2
last_host=39

case "$action" in
start)
    mkdir -p "$base/logs" "$base/tmp" "$build/e2e-www" "$build/e2e-drive-d"
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        kill "$(cat "$pidfile")"
        for _ in $(seq 1 50); do kill -0 "$(cat "$pidfile")" 2>/dev/null || break; sleep 0.1; done
    fi
    {
        echo "worker_processes 1;"
        echo "pid $pidfile;"
        echo "error_log $base/logs/error.log;"
        [ "$(id -u)" -eq 0 ] && echo "user root;"
        echo "events { worker_connections 64; }"
        echo "http {"
        echo "  access_log $base/logs/access.log;"
        echo "  client_body_temp_path $base/tmp;"
        echo "  proxy_temp_path $base/tmp;"
        echo "  fastcgi_temp_path $base/tmp;"
        echo "  uwsgi_temp_path $base/tmp;"
        echo "  scgi_temp_path $base/tmp;"
        echo "  default_type application/octet-stream;"
        echo "  server {"
        for n in $(seq "$first_host" "$last_host"); do
            echo "    listen 127.0.0.$n:80;"
        done
        echo "    root $build/e2e-www;"
        echo "  }"
        echo "}"
    } >"$base/nginx.conf"
    nginx -c "$base/nginx.conf" -p "$base"
    for _ in $(seq 1 50); do [ -s "$pidfile" ] && break; sleep 0.1; done
    [ -s "$pidfile" ] || { echo "web_server: nginx did not start" >&2; exit 1; }
    # Drive D: of the Wine prefix, for the transfer utility's D: location.
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX/dosdevices" ]; then
        ln -sfn "$build/e2e-drive-d" "$WINEPREFIX/dosdevices/d:"
    fi
    ;;
stop)
    if [ -f "$pidfile" ]; then
        pid="$(cat "$pidfile")"
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    if [ -n "${WINEPREFIX:-}" ] && [ -L "$WINEPREFIX/dosdevices/d:" ]; then
        rm -f "$WINEPREFIX/dosdevices/d:"
    fi
    ;;
*)
    echo "usage: web_server.sh start|stop BUILD_DIR" >&2
    exit 2
    ;;
esac

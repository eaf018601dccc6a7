#!/usr/bin/env bash
# Sets everything up, starts local update servers (nginx over HTTPS and HTTP, an FTP server
# and a TLS-only FTP server, on loopback ports) serving a new build of a small demo product, signed with a demo
# key that the updater is built with, installs the old build in a scratch product folder, and
# starts the updater pointed at a server (through the clipboard, which the updater reads at
# start-up). Press "&Update", then "&Run".
#
#   scripts/run.sh          the update comes over HTTPS, from a demo certificate authority
#                           that the demo's settings trust ("Trusted Certificates")
#   scripts/run.sh --http   the update comes over plain HTTP
#   scripts/run.sh --ftp    the update comes over FTP
#   scripts/run.sh --ftps   the update comes over FTP over TLS, from a server that takes
#                           nothing else (vsftpd), with the same demo authority
#
# Whatever the protocol, the build replaces the product only once its signature verifies.
# Without a display (no $DISPLAY) the script runs the window on a virtual X display, presses
# "&Update" and "&Run" itself, saves screenshots under build-demo/screenshots/, and exits
# non-zero unless the product reports the new version afterwards. ZORV_DEMO_DIR names
# another folder than build-demo/ (the test suite runs the demo in its own build tree).
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
fail() { echo "run.sh: $*" >&2; exit 1; }
protocol=https
case "${1:-}" in
  --ftp) protocol=ftp ;;
  --ftps) protocol=ftps ;;
  --http) protocol=http ;;
  "") ;;
  *) echo "usage: $0 [--http|--ftp|--ftps]" >&2; exit 2 ;;
esac
bash scripts/setup.sh

demo=${ZORV_DEMO_DIR:-$top/build-demo}
product=$demo/Brantle/
# The maker's key pair (made once, without a password: a demo) and the demo's certificate
# authority with a certificate for 127.0.0.1.
keys=$demo/keys
mkdir -p "$keys"
[ -s "$keys/maker.pub" ] || minisign -G -W -p "$keys/maker.pub" -s "$keys/maker.key" >/dev/null
[ -s "$keys/ca.pem" ] || bash scripts/make-cert.sh "$keys" ca
[ -s "$keys/server.pem" ] || bash scripts/make-cert.sh "$keys" server "IP:127.0.0.1,DNS:localhost"
cmake -S . -B "$demo" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DZORV_BUILD_TESTS=OFF -DZORV_BUILD_BENCH=OFF -DZORV_PRODUCT_DIR="$product" \
  -DZORV_PUBLIC_KEY="$(tail -n 1 "$keys/maker.pub")" >/dev/null
cmake --build "$demo" --target zorvupdater

# The demo product: the old build installed, the new build and its signature on the server.
mkdir -p "$product" "$demo/www/update" "$demo/screenshots"
rm -f "$product/Zorvupdater.cat" "$product"/*.version
bash scripts/make-demo-product.sh 1.0 "$product/Brantle Ver 1.0.exe"
bash scripts/make-demo-product.sh 2.0 "$demo/www/update/Zorvupdater.exe"
# Three MiB of comment lines make the new build big enough for its download to be seen.
for i in $(seq 49152); do echo "# the new build's padding, so that its download takes a moment: $i"; done \
  >> "$demo/www/update/Zorvupdater.exe"
minisign -S -s "$keys/maker.key" -m "$demo/www/update/Zorvupdater.exe" -t "version:2.0" >/dev/null

# The updater's settings: its own registry, trusting the demo's authority.
registry=$demo/registry
settings="$registry/HKEY_LOCAL_MACHINE/Software/Quillon Updater/Settings"
mkdir -p "$settings"
printf '%s' "$keys/ca.pem" > "$settings/Trusted Certificates"
export ZORV_REGISTRY_ROOT=$registry

# The update servers.
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)
tls_port=$(free_port)
mkdir -p "$demo/nginx/logs"
cat > "$demo/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
pid $demo/nginx/nginx.pid;
error_log $demo/nginx/logs/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $demo/nginx/body;
  proxy_temp_path $demo/nginx/proxy;
  fastcgi_temp_path $demo/nginx/fastcgi;
  uwsgi_temp_path $demo/nginx/uwsgi;
  scgi_temp_path $demo/nginx/scgi;
  # The updater's download takes about three seconds, so that it can be watched; the
  # script's own probes (curl) are not held back.
  map \$http_user_agent \$demo_rate { ~^curl 0; default 1m; }
  server { listen 127.0.0.1:$port; root $demo/www; set \$limit_rate \$demo_rate; }
  server {
    listen 127.0.0.1:$tls_port ssl;
    set \$limit_rate \$demo_rate;
    ssl_certificate $keys/server.pem;
    ssl_certificate_key $keys/server.key;
    root $demo/www;
  }
}
CONF
/usr/sbin/nginx -p "$demo/nginx" -c "$demo/nginx/nginx.conf" &
nginx_pid=$!
pids=("$nginx_pid")
cleanup() { kill "${pids[@]}" 2>/dev/null || true; }
trap cleanup EXIT
http_url="http://127.0.0.1:$port/update/Zorvupdater.exe"
https_url="https://127.0.0.1:$tls_port/update/Zorvupdater.exe"
# Waits up to a minute for a server to serve the new build byte for byte.
serving() {
  local url=$1 pid=$2
  shift 2
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || return 1
    curl -sf --cacert "$keys/ca.pem" "$@" -o "$demo/probe" "$url" && cmp -s "$demo/probe" "$demo/www/update/Zorvupdater.exe" && return 0
    sleep 0.1
  done
  return 1
}
for u in "$http_url" "$https_url"; do
  serving "$u" "$nginx_pid" || fail "nginx did not serve $u (log: $demo/nginx/logs/error.log)"
done

ftp_port=$(free_port)
/usr/bin/python3 -I tests/support/ftp_server.py "$ftp_port" "$demo/www" "$demo/ftp.log" \
  "Quillon update server ready." >"$demo/ftp-server.out" 2>&1 &
ftp_pid=$!
pids+=("$ftp_pid")
serving "ftp://127.0.0.1:$ftp_port/update/Zorvupdater.exe" "$ftp_pid" ||
  fail "the FTP server did not start: $(tail -n 3 "$demo/ftp-server.out")"
# The updater takes an FTP server's port after the file name.
ftp_url="ftp://127.0.0.1/update/Zorvupdater.exe:$ftp_port"

# vsftpd takes anonymous logins over TLS only, and data connections only when they resume
# the control connection's TLS session.
ftps_port=$(free_port)
cat > "$demo/vsftpd.conf" <<CONF
listen=YES
listen_address=127.0.0.1
listen_port=$ftps_port
background=NO
run_as_launching_user=YES
anonymous_enable=YES
local_enable=NO
anon_root=$demo/www/update
ssl_enable=YES
allow_anon_ssl=YES
force_anon_logins_ssl=YES
force_anon_data_ssl=YES
require_ssl_reuse=YES
rsa_cert_file=$keys/server.pem
rsa_private_key_file=$keys/server.key
seccomp_sandbox=NO
xferlog_enable=NO
vsftpd_log_file=$demo/vsftpd.log
dual_log_enable=YES
log_ftp_protocol=YES
CONF
chmod 755 "$demo/www/update"
/usr/sbin/vsftpd "$demo/vsftpd.conf" >"$demo/vsftpd.out" 2>&1 &
ftps_pid=$!
pids+=("$ftps_pid")
serving "ftp://127.0.0.1:$ftps_port/Zorvupdater.exe" "$ftps_pid" --ssl-reqd ||
  fail "vsftpd did not start: $(tail -n 3 "$demo/vsftpd.out")"
# vsftpd runs as the demo's user here, without a chroot: the build is in its login folder.
ftps_url="ftps://127.0.0.1/Zorvupdater.exe:$ftps_port"

url=$https_url
[ $protocol = http ] && url=$http_url
[ $protocol = ftp ] && url=$ftp_url
[ $protocol = ftps ] && url=$ftps_url
echo "update servers: $https_url"
echo "                $http_url"
echo "                $ftp_url"
echo "                $ftps_url"
echo "the updater is pointed at: $url"
echo "product:       ${product}Brantle Ver 1.0.exe ($("${product}Brantle Ver 1.0.exe" --version))"

headless=0
if [ -z "${DISPLAY:-}" ]; then
  headless=1
  # Xvfb picks a free display number and writes it once it accepts clients.
  rm -f "$demo/xvfb.display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$demo/xvfb.display" >/dev/null 2>&1 &
  pids+=("$!")
  for _ in $(seq 300); do [ -s "$demo/xvfb.display" ] && break; sleep 0.1; done
  [ -s "$demo/xvfb.display" ] || fail "the virtual X display did not start"
  export DISPLAY=:$(cat "$demo/xvfb.display")
fi

printf '%s' "$url" | xclip -selection clipboard -loops 1
"$demo/src/app/zorvupdater" &
app_pid=$!
pids+=("$app_pid")

if [ $headless = 0 ]; then
  echo "The updater is open: press \"&Update\", then \"&Run\"."
  wait "$app_pid" || true
  exit 0
fi

shot() { xwd -root -silent | convert xwd:- "$demo/screenshots/$1.png"; }
win=""
for _ in $(seq 600); do win=$(xdotool search --name '^Zorv  Updater$' 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.1; done
[ -n "$win" ] || fail "the updater window did not appear"
xdotool windowactivate --sync "$win" 2>/dev/null || xdotool windowfocus --sync "$win"
shot 1-started
winshot() { xwd -id "$win" -silent | convert xwd:- "$demo/screenshots/$1.png"; }
xdotool key --window "$win" alt+u
# Over HTTP(S) the download is slow enough to be caught in the middle: once a third of it is
# on disk, the window shows the bar, the sizes, the speed and the times.
if [ $protocol = https ] || [ $protocol = http ]; then
  third=$(($(stat -c %s "$demo/www/update/Zorvupdater.exe") / 3))
  for _ in $(seq 600); do [ "$(stat -c %s "${product}Zorvupdater.cat" 2>/dev/null || echo 0)" -gt "$third" ] && break; sleep 0.05; done
  winshot window-updating
fi
for _ in $(seq 1200); do [ "$("${product}Brantle Ver 1.0.exe" --version 2>/dev/null)" = "Quillon 2.0" ] && break; sleep 0.1; done
shot 2-updated
winshot window-updated
# The README shows the default run's pictures.
if [ $protocol = https ]; then
  mkdir -p "$top/docs/screenshots"
  cp "$demo/screenshots/window-updating.png" "$demo/screenshots/window-updated.png" "$top/docs/screenshots/"
fi
after=$("${product}Brantle Ver 1.0.exe" --version 2>&1 || true)
echo "after the update: $after"
[ "$after" = "Quillon 2.0" ] || fail "the product was not updated over $protocol (see $demo/screenshots/2-updated.png)"
xdotool key --window "$win" alt+r
for _ in $(seq 100); do xdotool search --class xmessage >/dev/null 2>&1 && break; sleep 0.1; done
shot 3-run
echo "screenshots: $demo/screenshots/"

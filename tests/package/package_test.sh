#!/usr/bin/env bash
# package_test.sh SOURCE WORK DRIVER
# Builds the updater for a scratch product as a maker would (default generator, no tests, an
# address, a folder and a key), makes the Debian package, checks its files, its dependencies
# and lintian's verdict, unpacks it (nothing is installed) and runs the unpacked program on
# Qt's offscreen platform, the DRIVER library pressing "&Update", until the product reports
# the signed new version served by nginx. The program must print nothing at start-up.
set -euo pipefail
src=$1 work=$2 driver=$3
fail() { echo "package test: $*" >&2; exit 1; }
rm -rf "$work"
product=$work/product/
mkdir -p "$work/keys" "$work/www/update" "$work/registry" "$product"
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port)

minisign -G -W -p "$work/keys/maker.pub" -s "$work/keys/maker.key" >/dev/null
cmake -S "$src" -B "$work/build" -DZORV_BUILD_TESTS=OFF -DZORV_BUILD_BENCH=OFF \
  -DZORV_UPDATE_URL="http://127.0.0.1:$port/update/Zorvupdater.exe" \
  -DZORV_PRODUCT_DIR="$product" -DZORV_PUBLIC_KEY="$(tail -n 1 "$work/keys/maker.pub")" >/dev/null
grep -q '^CMAKE_GENERATOR:INTERNAL=Unix Makefiles$' "$work/build/CMakeCache.txt" ||
  fail "the build did not use CMake's default generator"
cmake --build "$work/build" -j "$(nproc)" --target package >"$work/build.log" 2>&1 ||
  { tail -n 30 "$work/build.log"; fail "the package did not build"; }
deb=$work/build/zorvupdater_1.0_$(dpkg --print-architecture).deb
[ -f "$deb" ] || fail "no $deb"

# Files, dependencies and lintian.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort >"$work/files"
sort >"$work/expected" <<FILES
./usr/bin/zorvupdater
./usr/share/applications/zorvupdater.desktop
./usr/share/doc/zorvupdater/changelog.gz
./usr/share/doc/zorvupdater/copyright
./usr/share/icons/hicolor/128x128/apps/zorvupdater.png
./usr/share/icons/hicolor/16x16/apps/zorvupdater.png
./usr/share/icons/hicolor/24x24/apps/zorvupdater.png
./usr/share/icons/hicolor/256x256/apps/zorvupdater.png
./usr/share/icons/hicolor/32x32/apps/zorvupdater.png
./usr/share/icons/hicolor/48x48/apps/zorvupdater.png
./usr/share/icons/hicolor/64x64/apps/zorvupdater.png
./usr/share/man/man1/zorvupdater.1.gz
FILES
diff -u "$work/expected" "$work/files" || fail "the package holds other files than expected"
# cmake --install puts the same files under a prefix.
cmake --install "$work/build" --prefix "$work/prefix" >/dev/null
(cd "$work/prefix" && find . -type f | sed 's|^\./|./usr/|' | sort) >"$work/installed"
diff -u "$work/expected" "$work/installed" || fail "cmake --install installs other files"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libssl3; do
  [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
lintian --fail-on error "$deb" >"$work/lintian.txt" 2>&1 || { cat "$work/lintian.txt"; fail "lintian found errors"; }
dpkg-deb -x "$deb" "$work/root"
grep -q '^Exec=zorvupdater$' "$work/root/usr/share/applications/zorvupdater.desktop" ||
  fail "the desktop entry does not start the program"

# The product: 1.0 installed, 2.0 signed and served.
bash "$src/scripts/make-demo-product.sh" 1.0 "${product}Brantle Ver 1.0.exe"
bash "$src/scripts/make-demo-product.sh" 2.0 "$work/www/update/Zorvupdater.exe"
minisign -S -s "$work/keys/maker.key" -m "$work/www/update/Zorvupdater.exe" -t "version:2.0" >/dev/null
mkdir -p "$work/nginx/logs"
cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events {}
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$port; root $work/www; }
}
CONF
/usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
pids=("$!")
trap 'kill "${pids[@]}" 2>/dev/null || true' EXIT
for _ in $(seq 600); do curl -sf -o /dev/null "http://127.0.0.1:$port/update/Zorvupdater.exe" && break; sleep 0.1; done

# The unpacked program, offscreen, on a machine without XDG_RUNTIME_DIR.
env -u XDG_RUNTIME_DIR -u DISPLAY QT_QPA_PLATFORM=offscreen ZORV_REGISTRY_ROOT="$work/registry" \
  LD_PRELOAD="$driver" "$work/root/usr/bin/zorvupdater" >"$work/stdout" 2>"$work/stderr" &
app=$!
pids+=("$app")
for _ in $(seq 1200); do
  [ "$("${product}Brantle Ver 1.0.exe" --version 2>/dev/null)" = "Quillon 2.0" ] && break
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
after=$("${product}Brantle Ver 1.0.exe" --version 2>&1 || true)
kill "$app" 2>/dev/null || true
[ "$after" = "Quillon 2.0" ] || { cat "$work/stderr"; fail "the unpacked program did not update the product (it reports: $after)"; }
if [ -s "$work/stderr" ] || [ -s "$work/stdout" ]; then
  cat "$work/stdout" "$work/stderr"
  fail "the program printed something while starting and updating"
fi
echo "package test: $(basename "$deb") built, checked and run through an update"

#!/bin/sh
# Installs the Debian packages the build and the tests need, when any is missing.
# Run as root on a fresh machine; as another user it only reports what is missing. PostgreSQL 15
# is for the PostgreSQL connector's tests, which start servers of their own (never the service).
set -e
PACKAGES="cmake ninja-build g++ make openjdk-17-jdk-headless libgtest-dev libbenchmark-dev libsqlite3-dev sqlite3 postgresql-15 libpq-dev"
missing=""
for p in $PACKAGES; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
# A full JDK counts as well as the headless one.
if echo "$missing" | grep -q openjdk-17-jdk-headless && command -v javac >/dev/null 2>&1; then
  missing=$(echo "$missing" | sed 's/openjdk-17-jdk-headless//')
fi
missing=$(echo $missing)
[ -z "$missing" ] && exit 0
if [ "$(id -u)" != 0 ]; then
  echo "missing packages: $missing (run scripts/deps.sh as root to install them)" >&2
  exit 1
fi
echo "installing: $missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -q
apt-get install -y -q --no-install-recommends $missing

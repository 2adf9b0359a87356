#!/usr/bin/env bash
# Runs a test command against a private, throwaway PostgreSQL server named to it by
# VELORA_TEST_POSTGRES_URL. Without an installed server the command runs alone (its PostgreSQL
# cases then skip themselves).
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1 || true)
if [ -z "$bin" ] || [ ! -x "$bin/initdb" ]; then
    echo "No PostgreSQL server installed; running without one."
    exec "$@"
fi
dir=$(mktemp -d /tmp/velora-pg.XXXXXX)
as=()
if [ "$(id -u)" -eq 0 ]; then
    # The server refuses to run as root.
    if ! id postgres >/dev/null 2>&1; then
        rm -rf "$dir"
        echo "Running as root without a postgres user; running without a server."
        exec "$@"
    fi
    chown postgres "$dir"
    as=(runuser -u postgres --)
fi
stop() {
    "${as[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 143' TERM INT
"${as[@]}" "$bin/initdb" -D "$dir/data" -A trust -U velora >"$dir/initdb.log" 2>&1
port=$((40000 + RANDOM % 20000))
"${as[@]}" "$bin/pg_ctl" -D "$dir/data" -o "-k $dir -c listen_addresses='' -p $port" -l "$dir/server.log" -w start >/dev/null
VELORA_TEST_POSTGRES_URL="postgresql://velora@localhost:$port/postgres?host=$dir" "$@"

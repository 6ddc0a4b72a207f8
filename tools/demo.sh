#!/usr/bin/env bash
# tools/demo.sh BIN_DIR [PROGRAM [ARGUMENTS...]]
# Three simulated cameras of different models on loopback, and the program (kovra-control
# unless another is named) against them in a home folder of its own, with a config.json that
# lists the three. The operator's own configuration, settings and logs are never touched;
# the demo home is removed when the program ends.
set -euo pipefail

bin="$(cd "$1" && pwd)"
shift
if [ $# -eq 0 ]; then
    set -- "$bin/kovra-control"
fi

home="$(mktemp -d "${TMPDIR:-/tmp}/kovra-demo.XXXXXX")"
camsim_pid=""
cleanup() {
    if [ -n "$camsim_pid" ]; then
        kill "$camsim_pid" 2>/dev/null || true
        wait "$camsim_pid" 2>/dev/null || true
    fi
    rm -rf "$home"
}
trap cleanup EXIT

# Fault modes for the three cameras, as `make demo CAMSIM_ARGS="--refuse video/iso=405"` gives them.
read -r -a faults <<<"${CAMSIM_ARGS:-}"
# Port 0: each camera on a free port, so the demo never collides with anything else running.
"$bin/kovra-camsim" "${faults[@]}" \
    --camera "127.0.0.1:0=URSA Broadcast G2" \
    --camera "127.0.0.1:0=Studio Camera 4K Pro G2" \
    --camera "127.0.0.1:0=Pocket Cinema Camera 6K G2" >"$home/camsim.log" 2>&1 &
camsim_pid=$!
for _ in $(seq 100); do
    if [ "$(grep -c '^camsim: .* at http://' "$home/camsim.log")" -ge 3 ]; then
        break
    fi
    if ! kill -0 "$camsim_pid" 2>/dev/null; then
        break
    fi
    sleep 0.1
done
mapfile -t addresses < <(sed -n 's|^camsim: .* at http://||p' "$home/camsim.log")
if [ "${#addresses[@]}" -lt 3 ]; then
    echo "demo: the camera simulator did not start:" >&2
    cat "$home/camsim.log" >&2
    exit 1
fi

data="$home/.local/share/KovraControl/Kovra Control"
mkdir -p "$data" "$home/.config" "$home/.local/state" "$home/.cache"
names=("Stage Left" "Centre" "Handheld")
cameras=""
for i in 0 1 2; do
    id="$(cat /proc/sys/kernel/random/uuid)"
    cameras+="${cameras:+,}
        {\"id\": \"$id\", \"name\": \"${names[$i]}\", \"ip\": \"${addresses[$i]}\", \"index\": $((i + 1))}"
done
cat >"$data/config.json" <<JSON
{
    "version": 2,
    "cameras": [$cameras
    ],
    "settings": {
        "oscPort": 58000,
        "oscListenInterface": "127.0.0.1",
        "oscOutIp": "127.0.0.1",
        "oscOutPort": 58001,
        "oscOutEnabled": false,
        "oscSendInterface": "127.0.0.1"
    }
}
JSON

echo "demo: cameras at ${addresses[*]}; OSC in on 127.0.0.1:58000 (try: oscsend localhost 58000 /camera/1/focus f 0.5)"
HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_DATA_HOME="$home/.local/share" \
    XDG_STATE_HOME="$home/.local/state" XDG_CACHE_HOME="$home/.cache" "$@"

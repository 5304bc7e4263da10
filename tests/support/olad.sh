# olad as the receiver of the outputs' tests, in a network namespace of its
# own (a child of the script's): 10.77.0.2 behind a veth pair whose other
# end, 10.77.0.1, is the script's. Both addresses exist only there. olad
# ignores Art-Net from its own address, so it cannot share the program's
# namespace. Needs lib.sh first (started, wait_until, WORK, check_equal).
#
#   start_olad       olad with Art-Net in on universe 1 (port address 1),
#                    E1.31 in on universe 2, universe 3 for --ola (its RPC
#                    port relayed to the script's 127.0.0.1:9010)
#   expect_universe UNIVERSE WANT CHANNELS WHAT
#   lamp_levels FIRST PER ON OFF   the levels of lamps 0x8001 from FIRST
#   start_tshark -i IF...  every UDP packet on them into $WORK/sent.pcapng;
#                    stop_tshark, then decode ARGS... reads it back
#   expect_clean_stream    no malformed packet; the sACN stream ends with
#                    three stream-terminated packets
OLAD_SUPPORT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

start_olad() {
  ip link set lo up
  unshare --net sleep 120 >/dev/null 2>&1 &
  OLA_NS=$!
  started "$OLA_NS"
  ns_ready() { [ "$(readlink /proc/$OLA_NS/ns/net)" != "$(readlink /proc/$$/ns/net)" ]; }
  wait_until 5 ns_ready || { fail "no namespace for olad"; finish; }
  # (Started in the background without it, so that $! is the process itself.)
  in_ola() { nsenter -t "$OLA_NS" -n "$@"; }
  ip link add out0 type veth peer name out1
  ip link set out1 netns "$OLA_NS"
  ip addr add 10.77.0.1/24 dev out0
  ip link set out0 up
  in_ola ip link set lo up
  in_ola ip addr add 10.77.0.2/24 dev out1
  in_ola ip link set out1 up

  # olad refuses root: it runs as nobody, on a configuration of its own with
  # only the Art-Net and E1.31 plugins, on the veth's address (its E1.31
  # plugin never takes the loopback interface).
  OLA_CONF="$WORK/ola"
  mkdir -p "$OLA_CONF"
  for plugin in artnet e131; do printf 'enabled = true\nip = 10.77.0.2\n' >"$OLA_CONF/ola-$plugin.conf"; done
  for plugin in dummy espnet kinet osc pathport sandnet shownet spi stageprofi usbdmx usbserial opendmx \
    uartdmx renard ftdidmx gpio karate milinst nanoleaf openpixelcontrol dmx4linux; do
    printf 'enabled = false\n' >"$OLA_CONF/ola-$plugin.conf"
  done
  chmod -R a+rwX "$OLA_CONF"
  chmod a+rx "$WORK"
  nsenter -t "$OLA_NS" -n setpriv --reuid=65534 --regid=65534 --clear-groups olad -c "$OLA_CONF" --no-http -l 2 >"$WORK/olad.log" 2>&1 &
  started $!
  devices() { in_ola timeout 5 ola_dev_info 2>/dev/null | grep -E '^Device'; }
  wait_until 15 eval 'devices | grep -q E1.31' || { fail "olad shows no E1.31 device"; cat "$WORK/olad.log"; finish; }
  artnet_device=$(devices | sed -n 's/^Device \([0-9]*\): ArtNet.*/\1/p')
  e131_device=$(devices | sed -n 's/^Device \([0-9]*\): E1.31.*/\1/p')
  # OLA's Art-Net input patched to universe 1 hears port address 1; E1.31's
  # hears the universe it is patched to. Universe 3, for --ola, exists once
  # a port is patched to it: an E1.31 output (its packets stay in olad's
  # namespace).
  in_ola timeout 5 ola_patch -d "$artnet_device" -p 0 -i -u 1
  in_ola timeout 5 ola_patch -d "$e131_device" -p 0 -i -u 2
  in_ola timeout 5 ola_patch -d "$e131_device" -p 1 -u 3
  # olad's RPC port (9010, loopback only) reached from the program's
  # namespace, for --ola: a relay on each side of the veth, for the one
  # connection the program makes (no fork: nothing outlives the script).
  nsenter -t "$OLA_NS" -n socat TCP-LISTEN:9011,bind=10.77.0.2,reuseaddr TCP:127.0.0.1:9010 >/dev/null 2>&1 &
  started $!
  socat TCP-LISTEN:9010,bind=127.0.0.1,reuseaddr TCP:10.77.0.2:9011 >/dev/null 2>&1 &
  started $!
  relay_up() { in_ola ss -ltnH 'sport = :9011' | grep -q 9011; }
  wait_until 5 relay_up || fail "the RPC relay in olad's namespace did not start"
}

expect_universe() {
  local universe=$1 want=$2 got
  read_universe() { got=$(in_ola timeout 5 /usr/bin/python3 "$OLAD_SUPPORT/ola_universe.py" --channels "$3" "$universe"); [ "$got" = "$want" ]; }
  wait_until 5 read_universe "$@" || true
  check_equal "olad universe $universe ($4)" "$got" "$want"
}
lamp_levels() { # FIRST PER ON OFF: channels 1..FIRST-1 zero, then the lamps 0x8001.
  local first=$1 per=$2 on=$3 off=$4 out=() lamp k
  for ((k = 1; k < first; k++)); do out+=(0); done
  for ((lamp = 0; lamp < 16; lamp++)); do
    for ((k = 0; k < per; k++)); do
      if [ $lamp = 0 ] || [ $lamp = 15 ]; then out+=("$on"); else out+=("$off"); fi
    done
  done
  (IFS=,; echo "${out[*]}")
}

start_tshark() {
  tshark -q "$@" -f udp -w "$WORK/sent.pcapng" >"$WORK/tshark.log" 2>&1 &
  TSHARK_PID=$!
  started "$TSHARK_PID"
  wait_until 30 grep -qE "Capturing on|Capture started" "$WORK/tshark.log" || { fail "tshark did not start"; finish; }
}
stop_tshark() { kill -INT "$TSHARK_PID"; wait "$TSHARK_PID" 2>/dev/null || true; }
# tshark's complaints are kept: once in many runs it found no sACN.
decode() { tshark -r "$WORK/sent.pcapng" --enable-heuristic acn -o acn.dmx_enable:TRUE "$@" 2>>"$WORK/decode.err"; }
expect_clean_stream() {
  check_equal "no malformed packet, no dissector error" \
    "$(decode -Y '_ws.malformed || _ws.expert.severity == error' | wc -l)" 0
  check_equal "sACN: stream-terminated on the last three packets only" "$(decode -Y 'acn && ip.src == 10.77.0.1' \
    -T fields -e acn.dmx.options | awk '{printf ($1 == "0x40" || $1 == "64") ? "T" : "-"}' | sed 's/^-*/-/')" "-TTT"
}

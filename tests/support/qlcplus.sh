# Sourced by the QLC+ test and benchmark: QLC+ 4.12.6 (Debian's qlcplus) as
# a peer, on a workspace written here, with a home and runtime folder of its
# own (nothing of a user's QLC+ settings is read or changed). Call it inside
# a network namespace the caller made: QLC+ listens on OS2L's and OSC's ports
# and sends Art-Net.
#
# The workspace: two chasers of four steps on two generic 4-channel dimmers
# (universe 1, channels 1-4 and 5-8; step N lights the Nth dimmer of its
# fixture alone), each the cue list of a Virtual Console cue list whose
# "next" is one beat input: OS2L's beat (universe 1's input, the OS2L
# plug-in) for the first, OSC's /lightbeat/beat (universe 2's input, the OSC
# plug-in on 127.0.0.1, port 7701) for the second. Universe 1 goes out as
# Art-Net to 127.0.0.1:6454, 50 full frames a second.
#
# Why an input profile: QLC+'s OS2L plug-in gives every beat as the value
# 255 on input channel 8341 ("beat"), never a release, and a cue list steps
# on a press after a release only; so only the first beat would step it. A
# profile channel of type Button with ExtraPress makes QLC+ send a press and
# a release for each value it gets. The OSC plug-in numbers an input channel
# by the CRC-16 (ISO 3309) of its path: /lightbeat/beat is 55726. QLC+ reads
# the user's profiles from $HOME/.qlcplus/inputprofiles, but as root only
# with --nowm (it takes the system's folder otherwise).
#
#   qlc_workspace DIR          writes DIR/chaser.qxw and DIR/home
#   start_qlcplus DIR SECONDS [quiet]
#                              starts QLC+ on it for at most SECONDS, its log
#                              in DIR/qlc.log; sets QLC_PID; waits (up to
#                              20 s) for the OS2L port and both cue lists
#                              (each says "Cue stopped" when operate mode
#                              loads it); returns 1 if they did not come.
#                              quiet: no debug log, and waits for the ports
# Needs: qlcplus.

QLC_OS2L_BEAT_CHANNEL=8341
QLC_OSC_PORT=7701
QLC_OSC_BEAT_CHANNEL=55726

qlc_profile() {  # qlc_profile FILE MODEL TYPE CHANNEL NAME
  cat >"$1" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE InputProfile>
<InputProfile xmlns="http://www.qlcplus.org/InputProfile">
 <Creator><Name>Q Light Controller Plus</Name><Version>4.12.6</Version><Author>lightbeat tests</Author></Creator>
 <Manufacturer>lightbeat</Manufacturer>
 <Model>$2</Model>
 <Type>$3</Type>
 <Channel Number="$4"><Name>$5</Name><Type>Button</Type><ExtraPress>True</ExtraPress></Channel>
</InputProfile>
XML
}

# qlc_chaser FIXTURE FIRST_FUNCTION: a fixture's four one-dimmer scenes and
# the chaser of them (its ID FIRST_FUNCTION + 4), each step held until the
# next is asked for.
qlc_chaser() {
  local fixture=$1 first=$2 step values i
  for step in 0 1 2 3; do
    values=""
    for i in 0 1 2 3; do values+="$i,$([ "$i" = "$step" ] && echo 255 || echo 0),"; done
    echo "  <Function ID=\"$((first + step))\" Type=\"Scene\" Name=\"Dimmer $((step + 1)) of $fixture\">"
    echo "   <Speed FadeIn=\"0\" FadeOut=\"0\" Duration=\"0\"/><FixtureVal ID=\"$fixture\">${values%,}</FixtureVal></Function>"
  done
  echo "  <Function ID=\"$((first + 4))\" Type=\"Chaser\" Name=\"Chase $fixture\">"
  echo "   <Speed FadeIn=\"0\" FadeOut=\"0\" Duration=\"4294967294\"/>"
  echo "   <Direction>Forward</Direction><RunOrder>Loop</RunOrder>"
  echo "   <SpeedModes FadeIn=\"Common\" FadeOut=\"Common\" Duration=\"Common\"/>"
  for step in 0 1 2 3; do
    echo "   <Step Number=\"$step\" FadeIn=\"0\" Hold=\"4294967294\" FadeOut=\"0\">$((first + step))</Step>"
  done
  echo "  </Function>"
}

qlc_fixture() {  # qlc_fixture ID ADDRESS
  echo "  <Fixture><Manufacturer>Generic</Manufacturer><Model>Generic</Model><Mode>4 Channel</Mode>"
  echo "   <ID>$1</ID><Name>Dimmers $1</Name><Universe>0</Universe><Address>$2</Address><Channels>4</Channels></Fixture>"
}

qlc_cue_list() {  # qlc_cue_list ID CHASER UNIVERSE CHANNEL
  local look="<Appearance><FrameStyle>None</FrameStyle><ForegroundColor>Default</ForegroundColor><BackgroundColor>Default</BackgroundColor><BackgroundImage>None</BackgroundImage><Font>Default</Font></Appearance>"
  echo "   <CueList Caption=\"Chase $2\" ID=\"$1\">"
  echo "    <WindowState Visible=\"True\" X=\"10\" Y=\"$((10 + 230 * $1))\" Width=\"300\" Height=\"220\"/>"
  echo "    $look"
  echo "    <Chaser>$2</Chaser>"
  echo "    <Next><Input Universe=\"$3\" Channel=\"$4\"/></Next>"
  echo "   </CueList>"
}

qlc_workspace() {
  local dir=$1
  mkdir -p "$dir/home/.qlcplus/inputprofiles" "$dir/runtime"
  chmod 700 "$dir/runtime"
  qlc_profile "$dir/home/.qlcplus/inputprofiles/lightbeat-OS2L.qxi" "OS2L beat" OS2L "$QLC_OS2L_BEAT_CHANNEL" beat
  qlc_profile "$dir/home/.qlcplus/inputprofiles/lightbeat-OSC.qxi" "OSC beat" OSC "$QLC_OSC_BEAT_CHANNEL" /lightbeat/beat
  {
    cat <<XML
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE Workspace>
<Workspace xmlns="http://www.qlcplus.org/Workspace" CurrentWindow="VirtualConsole">
 <Creator><Name>Q Light Controller Plus</Name><Version>4.12.6</Version><Author>lightbeat tests</Author></Creator>
 <Engine>
  <InputOutputMap>
   <Universe Name="Universe 1" ID="0">
    <Input Plugin="OS2L" UID="OS2L" Line="0" Profile="lightbeat OS2L beat"/>
    <Output Plugin="ArtNet" UID="127.0.0.1" Line="0"/>
   </Universe>
   <Universe Name="Universe 2" ID="1">
    <Input Plugin="OSC" UID="127.0.0.1" Line="0" Profile="lightbeat OSC beat"/>
   </Universe>
  </InputOutputMap>
XML
    qlc_fixture 0 0
    qlc_fixture 1 4
    qlc_chaser 0 0
    qlc_chaser 1 10
    echo " </Engine>"
    echo " <VirtualConsole>"
    echo "  <Frame Caption=\"\">"
    qlc_cue_list 0 4 0 "$QLC_OS2L_BEAT_CHANNEL"
    qlc_cue_list 1 14 1 "$QLC_OSC_BEAT_CHANNEL"
    echo "  </Frame>"
    echo " </VirtualConsole>"
    echo "</Workspace>"
  } >"$dir/chaser.qxw"
}

start_qlcplus() {
  local dir=$1 seconds=$2 debug=(-d)
  # QLC+'s debug log (a few lines for every OSC message) costs it about
  # 10 ms a step here: without it for measurements.
  [ "${3:-}" = quiet ] && debug=()
  HOME="$dir/home" XDG_RUNTIME_DIR="$dir/runtime" QT_QPA_PLATFORM=offscreen \
    timeout -k 2 "$seconds" qlcplus "${debug[@]}" --nowm --nogui --operate --open "$dir/chaser.qxw" \
    >"$dir/qlc.log" 2>&1 &
  QLC_PID=$!
  local i
  for i in $(seq 200); do
    if [ "${3:-}" = quiet ]; then
      # Without the log, the ports say it is up; the measurement counts
      # beats from the 15th second only.
      ss -ltn | grep -q ":9996 " && ss -uln | grep -q "127.0.0.1:$QLC_OSC_PORT " && return 0
    elif grep -q "listening on TCP port 9996" "$dir/qlc.log" &&
         [ "$(grep -c "Cue stopped" "$dir/qlc.log")" -ge 2 ]; then
      return 0
    fi
    kill -0 "$QLC_PID" 2>/dev/null || break
    sleep 0.1
  done
  grep -v ALSA "$dir/qlc.log" | tail -20 | sed 's/^/  qlcplus: /' >&2
  return 1
}

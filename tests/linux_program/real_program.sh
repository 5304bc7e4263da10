#!/usr/bin/env bash
# The program as shipped (with the real port back end), in the emulation
# mode only, so that no test touches a port: its title, a line's lamps,
# and exit code 0 on close.
source "$(dirname "$0")/../support/lib.sh"
start_xvfb

start_program
window=$(main_window) || { fail "no main window"; finish; }
expect_title "$window" "Pipe Server Vantrelle (p:0)" "emulation mode"
send '>5L8001'
expect_lamps "$window" 01 80 ">5L8001"
close_and_expect_exit "$window" "emulation mode"
finish

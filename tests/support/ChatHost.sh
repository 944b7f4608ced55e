#!/bin/sh
# A chat host for the tests, run by telnetd in place of login: it asks for an ID and a
# password, then repeats every line it receives as a conference line "(TALK,ID) line";
# the line "/quit" ends the call from the host's side.
echo "Test host (terminal $TERM)"
printf 'ID:'
IFS= read -r id || exit 0
stty -echo 2>/dev/null
printf 'Password:'
IFS= read -r password || exit 0
stty echo 2>/dev/null
echo
echo "Welcome, $id"
while IFS= read -r line; do
  case "$line" in /quit*) echo "Bye, $id"; exit 0 ;; esac
  echo "(TALK,$id) $line"
done

#!/bin/sh
# A chat host for the tests, run by telnetd in place of login: it asks for an ID and a
# password, then repeats every line it receives as a conference line "(TALK,ID) line".
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
  echo "(TALK,$id) $line"
done

#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Sends a long encrypted message with voltare-cli through a real Postfix relay
# to the tests' SMTP peer and checks that what arrives still decrypts: real
# relays fold lines longer than 998 characters, which is what the message's
# encoding must survive.
#
# Changes the machine: installs postfix when missing (no configuration of its
# own), runs it with a loopback-only configuration that relays everything to
# the peer, then stops it and puts its configuration back. Run it by hand, as
# root, never from the tests or CI.
set -euo pipefail

build_dir=$(realpath "${1:-build}")
cd "$(dirname "$0")/.."
cli="$build_dir/src/cli/voltare-cli"
peer_script=tests/peers/smtp_server.py

if [ "$(id -u)" -ne 0 ]; then
  echo "postfix-check: run as root (it installs, configures and starts postfix)" >&2
  exit 1
fi
if [ ! -x "$cli" ]; then
  echo "postfix-check: $cli is missing (run make build)" >&2
  exit 1
fi
if ! dpkg-query -W -f='${Status}' postfix 2>/dev/null | grep -q 'install ok'; then
  echo "--- installing postfix (no configuration of its own)"
  echo "postfix postfix/main_mailer_type select No configuration" | debconf-set-selections
  DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends postfix >/dev/null
fi

work=$(mktemp -d)
peer_pid=
saved=("/etc/postfix/main.cf" "/etc/postfix/master.cf")
for file in "${saved[@]}"; do
  if [ -e "$file" ]; then cp -p "$file" "$work/$(basename "$file").saved"; fi
done
finish() {
  postsuper -d ALL >/dev/null 2>&1 || true  # nothing of ours stays queued
  postfix stop >/dev/null 2>&1 || true
  if [ -n "$peer_pid" ]; then kill "$peer_pid" 2>/dev/null || true; fi
  for file in "${saved[@]}"; do
    if [ -e "$work/$(basename "$file").saved" ]; then
      cp -p "$work/$(basename "$file").saved" "$file"
    else
      rm -f "$file"
    fi
  done
  rm -rf "$work"
}
trap finish EXIT

# The recipient's server: the tests' SMTP peer, which decodes each part with
# Python's email package.
mkdir -p "$work/inbox"
/usr/bin/python3 "$peer_script" "$work/inbox" >"$work/peer.out" 2>"$work/peer.log" &
peer_pid=$!
for _ in $(seq 300); do
  [ -s "$work/peer.out" ] && break
  sleep 0.1
done
peer_port=$(head -n 1 "$work/peer.out")
if [ -z "$peer_port" ]; then
  echo "postfix-check: the SMTP peer did not start:" >&2
  cat "$work/peer.log" >&2
  exit 1
fi
echo "--- SMTP peer on 127.0.0.1:$peer_port"

# Postfix on 127.0.0.1:25 only, relaying everything from the loopback to the peer.
postfix stop >/dev/null 2>&1 || true
[ -e /etc/postfix/master.cf ] || cp /usr/share/postfix/master.cf.dist /etc/postfix/master.cf
cat >/etc/postfix/main.cf <<EOF
compatibility_level = 3.6
myhostname = relay.postfix-check.test
mydestination =
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mynetworks = 127.0.0.0/8
relayhost = [127.0.0.1]:$peer_port
alias_maps =
alias_database =
smtpd_relay_restrictions = permit_mynetworks, reject
smtp_tls_security_level = none
smtpd_tls_security_level = none
maillog_file = /var/log/postfix-check.log
EOF
postconf -F '*/*/chroot = n'
postfix start
echo "--- postfix $(postconf -h mail_version) relaying 127.0.0.1:25 -> 127.0.0.1:$peer_port"

# A text long enough for one Base64 line of several thousand characters.
export VOLTARE_CONFIG_DIR="$work/config"
printf 'relay check password\n' >"$work/pw"
text=$(for i in $(seq 200); do printf 'Line %03d of a long letter through a real relay. ' "$i"; done)
printf '%s' "$text" >"$work/message.txt"
"$cli" email-config --server 127.0.0.1 --port 25 --username postfix-check.test \
  --name 'Relay Check' --address check@sender.test
"$cli" --password-file "$work/pw" mail --to bob@recipient.test --subject 'Relay check' \
  --message-file "$work/message.txt"

for _ in $(seq 300); do
  [ -e "$work/inbox/1.envelope" ] && break
  sleep 0.2
done
if [ ! -e "$work/inbox/1.envelope" ]; then
  echo "postfix-check: the message did not arrive; the queue and the log:" >&2
  postqueue -p >&2 || true
  tail -n 20 /var/log/postfix-check.log >&2 || true
  exit 1
fi

# What the recipient's mail program shows: an empty line, the Base64 line, the footer.
sed -n 2p "$work/inbox/1.part0" | tr -d '\r' >"$work/line.txt"
longest=$(tr -d '\r' <"$work/inbox/1.eml" | awk '{ if (length($0) > max) max = length($0) } END { print max }')
decrypted=$("$cli" --password-file "$work/pw" decrypt-text <"$work/line.txt")
echo "--- text: ${#text} bytes; Base64 line as shown: $(tr -d "\n" <"$work/line.txt" | wc -c) characters;" \
  "longest line as relayed: $longest characters"
if [ "$decrypted" = "$text" ]; then
  echo "postfix-check: ok, the relayed message decrypts to the text"
else
  echo "postfix-check: FAILED, the relayed message does not decrypt to the text" >&2
  exit 1
fi

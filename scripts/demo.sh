#!/usr/bin/env bash
# Shows Replyvane doing its whole job on this machine: installs what is
# missing, builds the program, starts a private POP3 server (Dovecot) with
# five sample messages and an SMTP server (aiosmtpd) that keeps what it
# receives, both on 127.0.0.1 only, and starts a copy of the program in a
# temporary directory with settings that point at them. Click "Check Now"
# and close each box "1". When the program ends, the servers are stopped and
# the sent responses and forwards are left in <demo>/sent.
#
# Both connections are encrypted: POP3 with TLS from the first byte, SMTP
# with STARTTLS and a log-in after it, the servers' certificate signed by a
# test authority made for the demo, which the program trusts through
# SSL_CERT_FILE. DEMO_TLS=0 scripts/demo.sh runs in the clear instead.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build-release.sh replyvane demo_servers

demo=$(mktemp -d "${TMPDIR:-/tmp}/replyvane-demo-XXXXXX")
build/release/tests/demo_servers "$demo" &
servers=$!
stop_servers() {
  if kill -0 "$servers" 2>/dev/null; then
    kill -TERM "$servers"
    wait "$servers" || true
  fi
  echo "Demo directory: $demo"
  echo "Sent messages (responses and forwards): $demo/sent"
}
trap stop_servers EXIT

for _ in $(seq 300); do
  [ -f "$demo/servers.env" ] && break
  kill -0 "$servers" 2>/dev/null || { echo "The servers did not start." >&2; exit 1; }
  sleep 0.1
done
[ -f "$demo/servers.env" ] || { echo "The servers did not start in time." >&2; exit 1; }
# shellcheck disable=SC1091
. "$demo/servers.env"

program="$demo/program"
mkdir -p "$program"
cp build/release/app/replyvane "$program/"
printf 'Our price list (sample attachment)\r\nLamp  49.00\r\nShade 19.00\r\n' \
  >"$program/prices.txt"
# Options: 1 SMTP host, 2 POP3 host, 3 POP3 user, 4 POP3 password,
# 5 interval, 6 SMTP user, 7 SMTP password, 8 POP3 port, 9 SMTP port,
# 10 authentication (0 None); Reponder: 1 name, 2 address, 3 subject,
# 4 forward switch, 5 forward address.
# Encryption: the section the program adds after the specified ones.
if [ "${DEMO_TLS:-1}" = 0 ]; then
  pop3_port=$POP3_PORT smtp_user= smtp_password= login=0
else
  pop3_port=$POP3_TLS_PORT smtp_user=$SMTP_USER smtp_password=$SMTP_PASSWORD
  login=1
fi
cat >"$program/Settings.ini" <<INI
[Options]
1=localhost
2=localhost
3=$POP3_USER
4=$POP3_PASSWORD
5=1
6=$smtp_user
7=$smtp_password
8=$pop3_port
9=$SMTP_PORT
10=$login
[Reponder]
1=Replyvane Demo
2=help@replyvane.test
3=Thank you for your message
4=1
5=team@replyvane.test
INI
if [ "${DEMO_TLS:-1}" != 0 ]; then
  printf '[Encryption]\nPop3Mode=SSL/TLS\nSmtpMode=STARTTLS\n' \
    >>"$program/Settings.ini"
fi
printf '%s\r\n' "Hello," "" \
  "Thank you for writing to us. This is an automatic answer: we have your" \
  "message and will reply within one working day. Our price list is attached." \
  "" "The Replyvane demo team" | head -c -2 >"$program/response.dat"
printf '%s\r\n' "$program/prices.txt" >"$program/attach.dat"
chmod 600 "$program/Settings.ini"

echo
echo "Replyvane starts now. Click \"Check Now\": it lists the five waiting"
echo "messages, answers each (closing a box \"1\" goes on to the next),"
echo "forwards it to team@replyvane.test and deletes it. Close the window to end."
(cd "$program" && SSL_CERT_FILE="$CA_FILE" ./replyvane)

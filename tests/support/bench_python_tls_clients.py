#!/usr/bin/python3
"""The TLS benchmark's reference: Python's clients, in the clear or with TLS.

Job "pop3": one connection (poplib.POP3 or POP3_SSL), USER/PASS, then for
every message n TOP n 0 and LIST n, then QUIT.
Job "smtp": N messages, each a 4 KiB text body with one 64 KiB attachment,
one connection each (smtplib.SMTP or SMTP_SSL), EHLO, AUTH LOGIN, MAIL,
RCPT, DATA, QUIT.
With --cafile, TLS from the first byte, verified against that authority
with one context for the whole run. Prints, for a benchmark program:
  pop3 messages=1000 seconds=0.812
Only 127.0.0.1 / localhost is accepted.
"""

import argparse
import email.message
import email.policy
import poplib
import random
import smtplib
import ssl
import sys
import time

TIMEOUT = 30


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--job", choices=("pop3", "smtp"), required=True)
    parser.add_argument("--host", default="127.0.0.1",
                        choices=("127.0.0.1", "localhost"))
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", default="testuser")
    parser.add_argument("--password", default="testpass")
    parser.add_argument("--messages", type=int, default=1000)
    parser.add_argument("--cafile")
    args = parser.parse_args()
    context = None
    if args.cafile:
        context = ssl.create_default_context(cafile=args.cafile)

    start = time.perf_counter()
    if args.job == "pop3":
        if context:
            pop = poplib.POP3_SSL(args.host, args.port, timeout=TIMEOUT,
                                  context=context)
        else:
            pop = poplib.POP3(args.host, args.port, timeout=TIMEOUT)
        pop.user(args.user)
        pop.pass_(args.password)
        count, _ = pop.stat()
        for n in range(1, count + 1):
            pop.top(n, 0)
            pop.list(n)
        pop.quit()
        done = count
    else:
        generator = random.Random(1)
        attachment = bytes(generator.getrandbits(8) for _ in range(64 * 1024))
        line = "The quick brown fox jumps over the lazy dog, again and again.\n"
        body = (line * (4096 // len(line) + 1))[:4096]
        for number in range(1, args.messages + 1):
            message = email.message.EmailMessage()
            message["From"] = "Bench Sender <sender@example.invalid>"
            message["To"] = "recipient@example.invalid"
            message["Subject"] = "Benchmark message %d" % number
            message.set_content(body)
            message.add_attachment(attachment, maintype="application",
                                   subtype="octet-stream", filename="data.bin")
            data = message.as_bytes(policy=email.policy.SMTP)
            if context:
                smtp = smtplib.SMTP_SSL(args.host, args.port, timeout=TIMEOUT,
                                        context=context)
            else:
                smtp = smtplib.SMTP(args.host, args.port, timeout=TIMEOUT)
            smtp.ehlo("bench.invalid")
            smtp.user, smtp.password = args.user, args.password
            smtp.auth("LOGIN", smtp.auth_login, initial_response_ok=False)
            smtp.sendmail("sender@example.invalid",
                          ["recipient@example.invalid"], data)
            smtp.quit()
        done = args.messages
    print("%s messages=%d seconds=%.3f"
          % (args.job, done, time.perf_counter() - start), flush=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())

#!/usr/bin/python3
"""The mail benchmark's reference: the same jobs done by Python's clients.

Job "pop3": log in with USER/PASS, then for every message n in the mailbox
fetch its header block (TOP n 0) and its size (LIST n), then QUIT.
Job "smtp": send N messages, each a 4 KiB text body with one 64 KiB
attachment, composed afresh for every message, one connection per message
(EHLO, AUTH LOGIN when a user is given, MAIL, RCPT, DATA, QUIT), as the
responder does.

Prints one line per job, for a benchmark program to parse:
  pop3 messages=1000 seconds=0.812 messages_per_second=1231.5
  smtp messages=1000 seconds=4.310 messages_per_second=232.0
Only 127.0.0.1 / localhost is accepted. Exits 1 with a message on failure.
"""

import argparse
import email.message
import email.policy
import poplib
import random
import smtplib
import sys
import time

LOOPBACK = ("127.0.0.1", "localhost")
BODY_SIZE = 4 * 1024
ATTACHMENT_SIZE = 64 * 1024
TIMEOUT = 30


def fetch_headers(host, port, user, password):
    """Returns the number of messages whose header and size were fetched."""
    pop = poplib.POP3(host, port, timeout=TIMEOUT)
    try:
        pop.user(user)
        pop.pass_(password)
        count, _ = pop.stat()
        for n in range(1, count + 1):
            pop.top(n, 0)
            pop.list(n)
    finally:
        pop.quit()
    return count


def compose(number, body, attachment):
    message = email.message.EmailMessage()
    message["From"] = "Bench Sender <sender@example.invalid>"
    message["To"] = "recipient@example.invalid"
    message["Subject"] = "Benchmark message %d" % number
    message.set_content(body)
    message.add_attachment(attachment, maintype="application",
                           subtype="octet-stream", filename="data.bin")
    # smtplib sends bytes as they are, so the line ends must be CR LF here.
    return message.as_bytes(policy=email.policy.SMTP)


def send_messages(host, port, user, password, count):
    """Sends `count` messages, one connection each; returns `count`."""
    generator = random.Random(1)
    attachment = bytes(generator.getrandbits(8) for _ in range(ATTACHMENT_SIZE))
    line = "The quick brown fox jumps over the lazy dog, again and again.\n"
    body = (line * (BODY_SIZE // len(line) + 1))[:BODY_SIZE]
    for number in range(1, count + 1):
        data = compose(number, body, attachment)
        smtp = smtplib.SMTP(host, port, timeout=TIMEOUT)
        try:
            smtp.ehlo("bench.invalid")
            if user:
                smtp.user, smtp.password = user, password
                smtp.auth("LOGIN", smtp.auth_login, initial_response_ok=False)
            smtp.sendmail("sender@example.invalid",
                          ["recipient@example.invalid"], data)
        finally:
            smtp.quit()
    return count


def report(job, messages, seconds):
    rate = messages / seconds if seconds > 0 else 0.0
    print("%s messages=%d seconds=%.3f messages_per_second=%.1f"
          % (job, messages, seconds, rate), flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--jobs", default="pop3,smtp",
                        help="comma-separated: pop3, smtp")
    parser.add_argument("--pop3-host", default="127.0.0.1")
    parser.add_argument("--pop3-port", type=int)
    parser.add_argument("--pop3-user", default="testuser")
    parser.add_argument("--pop3-pass", default="testpass")
    parser.add_argument("--smtp-host", default="127.0.0.1")
    parser.add_argument("--smtp-port", type=int)
    parser.add_argument("--smtp-user", default="",
                        help="AUTH LOGIN user; empty: no authentication")
    parser.add_argument("--smtp-pass", default="")
    parser.add_argument("--messages", type=int, default=1000,
                        help="number of messages the smtp job sends")
    args = parser.parse_args()

    jobs = [job for job in args.jobs.split(",") if job]
    for job in jobs:
        host = getattr(args, job + "_host", None)
        port = getattr(args, job + "_port", None)
        if job not in ("pop3", "smtp"):
            parser.error("unknown job %r" % job)
        if host not in LOOPBACK:
            parser.error("%s host must be 127.0.0.1 or localhost" % job)
        if not port:
            parser.error("--%s-port is required" % job)

    try:
        for job in jobs:
            start = time.perf_counter()
            if job == "pop3":
                done = fetch_headers(args.pop3_host, args.pop3_port,
                                     args.pop3_user, args.pop3_pass)
            else:
                done = send_messages(args.smtp_host, args.smtp_port,
                                     args.smtp_user, args.smtp_pass,
                                     args.messages)
            report(job, done, time.perf_counter() - start)
    except (OSError, poplib.error_proto, smtplib.SMTPException) as error:
        print("%s failed: %s" % (job, error), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())

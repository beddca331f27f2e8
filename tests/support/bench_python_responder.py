#!/usr/bin/python3
"""The response run done the way a user would script it with poplib/smtplib.

The same job as Replyvane's check: log in (USER/PASS), STAT, LIST, UIDL,
then TOP n 0 and LIST n for every message; then, last message first, a
response to its sender with the given text and attachments (one SMTP
connection each: EHLO, RSET, MAIL, RCPT, DATA, QUIT), with --forward-to the
message fetched with RETR and forwarded to that address on a connection of
its own, and DELE; finally QUIT. Messages are composed afresh each time and
the attachments read from their files each time, as the responder does.

With --imap-port the mailbox is IMAP (imaplib), as a user would script it:
LOGIN, SELECT INBOX, UID SEARCH ALL, UID FETCH of RFC822.SIZE and
BODY.PEEK[HEADER] for every message; then, last first, the same responses
(and BODY.PEEK[] for a forward), each answered message marked \\Deleted
with UID STORE; finally EXPUNGE and LOGOUT.

Prints one line for a benchmark program to parse:
  messages=1000 seconds=12.345 listing_seconds=0.456
Only 127.0.0.1 / localhost is accepted. Exits 1 with a message on failure.
"""

import argparse
import email.message
import email.parser
import email.policy
import email.utils
import imaplib
import os
import poplib
import smtplib
import sys
import time

LOOPBACK = ("127.0.0.1", "localhost")
TIMEOUT = 30


def send(args, message, recipient):
    smtp = smtplib.SMTP(args.host, args.smtp_port, timeout=TIMEOUT)
    try:
        smtp.ehlo()
        smtp.rset()
        smtp.sendmail(args.sender, [recipient],
                      message.as_bytes(policy=email.policy.SMTP))
    finally:
        smtp.quit()


def response(args, recipient):
    message = email.message.EmailMessage()
    message["From"] = args.sender
    message["Reply-To"] = args.sender
    message["To"] = recipient
    message["Subject"] = args.subject
    message["Date"] = email.utils.formatdate(localtime=True)
    message.set_content(args.body)
    for path in args.attachment:
        with open(path, "rb") as data:
            message.add_attachment(data.read(), maintype="application",
                                   subtype="octet-stream",
                                   filename=os.path.basename(path))
    return message


def forward(args, original_lines, sender_text):
    original = email.parser.BytesParser(policy=email.policy.default).parsebytes(
        b"\r\n".join(original_lines))
    part = original.get_body(preferencelist=("plain",))
    text = part.get_content() if part is not None else ""
    message = email.message.EmailMessage()
    message["From"] = args.sender
    message["To"] = args.forward_to
    message["Subject"] = "Fwd: " + str(original.get("Subject", ""))
    message["Date"] = email.utils.formatdate(localtime=True)
    message.set_content("Forwarded message from " + sender_text + "\n\n" +
                        text)
    return message


def run(args):
    start = time.perf_counter()
    pop = poplib.POP3(args.host, args.pop_port, timeout=TIMEOUT)
    pop.user(args.user)
    pop.pass_(args.password)
    count, _ = pop.stat()
    pop.list()
    pop.uidl()
    parser = email.parser.BytesHeaderParser(policy=email.policy.default)
    senders = []
    for n in range(1, count + 1):
        _, lines, _ = pop.top(n, 0)
        headers = parser.parsebytes(b"\r\n".join(lines))
        pop.list(n)
        address = email.utils.parseaddr(
            str(headers.get("Reply-To") or headers.get("From") or ""))[1]
        senders.append((address, str(headers.get("From", ""))))
    listed = time.perf_counter()
    for n in range(count, 0, -1):
        address, sender_text = senders[n - 1]
        send(args, response(args, address), address)
        if args.forward_to:
            _, lines, _ = pop.retr(n)
            send(args, forward(args, lines, sender_text), args.forward_to)
        pop.dele(n)
    pop.quit()
    end = time.perf_counter()
    print("messages=%d seconds=%.6f listing_seconds=%.6f" %
          (count, end - start, listed - start))


def run_imap(args):
    start = time.perf_counter()
    imap = imaplib.IMAP4(args.host, args.imap_port, timeout=TIMEOUT)
    imap.login(args.user, args.password)
    imap.select("INBOX")
    _, found = imap.uid("SEARCH", "ALL")
    uids = found[0].split()
    parser = email.parser.BytesHeaderParser(policy=email.policy.default)
    senders = []
    for uid in uids:
        _, data = imap.uid("FETCH", uid, "(RFC822.SIZE BODY.PEEK[HEADER])")
        headers = parser.parsebytes(data[0][1])
        address = email.utils.parseaddr(
            str(headers.get("Reply-To") or headers.get("From") or ""))[1]
        senders.append((address, str(headers.get("From", ""))))
    listed = time.perf_counter()
    for index in range(len(uids) - 1, -1, -1):
        uid = uids[index]
        address, sender_text = senders[index]
        send(args, response(args, address), address)
        if args.forward_to:
            _, data = imap.uid("FETCH", uid, "(BODY.PEEK[])")
            send(args, forward(args, data[0][1].split(b"\r\n"), sender_text),
                 args.forward_to)
        imap.uid("STORE", uid, "+FLAGS.SILENT", "(\\Deleted)")
    imap.expunge()
    imap.logout()
    end = time.perf_counter()
    print("messages=%d seconds=%.6f listing_seconds=%.6f" %
          (len(uids), end - start, listed - start))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--pop-port", type=int)
    parser.add_argument("--imap-port", type=int)
    parser.add_argument("--smtp-port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--sender", required=True)
    parser.add_argument("--subject", required=True)
    parser.add_argument("--body", required=True)
    parser.add_argument("--attachment", action="append", default=[])
    parser.add_argument("--forward-to", default="")
    args = parser.parse_args()
    if args.host not in LOOPBACK:
        sys.exit("only 127.0.0.1 is allowed")
    if (args.pop_port is None) == (args.imap_port is None):
        sys.exit("give --pop-port or --imap-port")
    try:
        run_imap(args) if args.imap_port else run(args)
    except Exception as error:  # reported to the benchmark, which fails
        sys.exit("python responder failed: %r" % (error,))


if __name__ == "__main__":
    main()

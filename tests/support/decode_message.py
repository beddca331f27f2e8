#!/usr/bin/python3
"""Prints what a mail reader shows of a message file: the display name of
its From, its Subject and its plain text, decoded by Python's email package,
as UTF-8, one "\\f" between each."""
import email
import email.policy
import sys

with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
body = msg.get_body(preferencelist=("plain",))
name = msg["From"].addresses[0].display_name
sys.stdout.buffer.write(name.encode("utf-8") + b"\f" +
                        str(msg["Subject"]).encode("utf-8") + b"\f" +
                        body.get_content().encode("utf-8"))

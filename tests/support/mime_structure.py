#!/usr/bin/python3
"""Prints the MIME structure of a message file as Python's email package
reads it, then each text part decoded: the first line is the tree, such as
"multipart/mixed(multipart/alternative(text/plain,text/html),
application/octet-stream)"; then, per text part in order, a line
"--- text/plain" and its content (UTF-8). Defects the parser found are
printed as "defect: <name>" lines after the tree."""
import email
import email.policy
import sys


def tree(part):
    kind = part.get_content_type()
    if part.is_multipart():
        return kind + "(" + ",".join(tree(p) for p in part.iter_parts()) + ")"
    return kind


with open(sys.argv[1], "rb") as f:
    msg = email.message_from_binary_file(f, policy=email.policy.default)
out = [tree(msg)]
for part in msg.walk():
    for defect in part.defects:
        out.append("defect: " + type(defect).__name__)
for part in msg.walk():
    if part.get_content_maintype() == "text" and not part.is_multipart():
        out.append("--- " + part.get_content_type())
        out.append(part.get_content())
sys.stdout.buffer.write("\n".join(out).encode("utf-8"))

#!/usr/bin/env python3
"""Writes the hostile and real-world mailbox under tests/data/mailbox/.

Each message is written byte for byte as a mail server would store it, and
one line of mailbox/expected.tsv names it with the address the response must
go to ("-" when the message has no usable sender and must stay on the server)
and a text the forward's decoded body must hold ("-" for no check). The
messages are committed; run this again only to change them:

    python3 tests/data/make_mailbox.py
"""

import base64
import os
import quopri

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "mailbox")
DATE = "Date: Tue, 01 Dec 2026 12:00:00 +0000"
TO = "To: me@example.com"

messages = []  # (name, bytes, sender, text)


def add(name, headers, body, sender, text, eol="\r\n", blank=True):
    """Adds a message from header lines and body lines (str or bytes)."""
    def b(item):
        return item if isinstance(item, bytes) else item.encode("utf-8")
    e = eol.encode()
    data = b"".join(b(h) + e for h in headers)
    if blank:
        data += e
    data += b"".join(b(line) + e for line in body)
    messages.append((name, data, sender, text))


def add_raw(name, data, sender, text):
    messages.append((name, data, sender, text))


def b64_lines(data, width=76):
    text = base64.b64encode(data).decode()
    return [text[i:i + width] for i in range(0, len(text), width)] or [""]


def qp_lines(data):
    return quopri.encodestring(data).decode().rstrip("\n").split("\n")


def plain(sender_header, sender, subject, text, extra=(), more=()):
    return ([sender_header, TO, "Subject: " + subject, DATE] + list(extra),
            [text] + list(more))


# --- From headers that parse, and those that do not -------------------------

FROM_CASES = [
    ("from_plain", "From: ann@example.com", "ann@example.com"),
    ("from_name_angle", "From: Bob Stone <bob@example.org>", "bob@example.org"),
    ("from_comment", "From: carl@example.net (Carl Ray)", "carl@example.net"),
    ("from_quoted_name", 'From: "Dunn, Dora" <dora@example.com>',
     "dora@example.com"),
    ("from_at_in_quoted_name", 'From: "eve@home" <eve@example.com>',
     "eve@example.com"),
    ("from_name_then_stray_at", 'From: "x" <frank@example.com> @c',
     "frank@example.com"),
    ("from_two_without_comma", "From: <gail@example.com> hugo@example.com",
     "gail@example.com"),
    ("from_two_with_comma", "From: ivan@example.com, jane@example.com",
     "ivan@example.com"),
    ("from_missing_close_angle", "From: Kim Lee <kim@example.com",
     "kim@example.com"),
    ("from_unterminated_quote", 'From: "Lou Marsh <lou@example.com>',
     "lou@example.com"),
    ("from_raw_8bit_name", b"From: J\xf6rg M\xfcller <joerg@example.de>",
     "joerg@example.de"),
    ("from_encoded_name", "From: =?iso-8859-1?Q?J=F6rn_K=E4se?= <joern@example.de>",
     "joern@example.de"),
    ("from_encoded_name_bad_hex",
     "From: =?UTF-8?Q?Bad=ZZhex=4?= <badhex@example.com>", "badhex@example.com"),
    ("from_encoded_name_bad_base64",
     "From: =?UTF-8?B?!!not*base64?= <badb64@example.com>", "badb64@example.com"),
    ("from_encoded_name_unknown_charset",
     "From: =?x-unheard-of?Q?Mystery?= <mystery@example.com>",
     "mystery@example.com"),
    ("from_encoded_name_unterminated",
     "From: =?UTF-8?Q?Never_ends <neverends@example.com>",
     "neverends@example.com"),
    ("from_name_is_address", "From: info@shop.example <info@shop.example>",
     "info@shop.example"),
    ("from_trailing_semicolon", "From: Max Poe <max@example.com>;",
     "max@example.com"),
    ("from_group", "From: Team: nia@example.com, oli@example.com;",
     "nia@example.com"),
    ("from_upper_case", "From: PAT@EXAMPLE.COM", "PAT@EXAMPLE.COM"),
    ("from_plus_subdomain", "From: quinn+list@mail.sub.example.co.uk",
     "quinn+list@mail.sub.example.co.uk"),
    ("from_angle_only", "From: <rita@example.com>", "rita@example.com"),
    ("from_nested_comment",
     "From: sam@example.com (Sam (the (real) one) Tate)", "sam@example.com"),
    ("from_double_angle", "From: Tom <<tom@example.com>>", "tom@example.com"),
    ("from_spaces_around", "From:     uma@example.com     ", "uma@example.com"),
    ("from_no_space_after_colon", "From:vic@example.com", "vic@example.com"),
    ("from_lowercase_name", "from: wes@example.com", "wes@example.com"),
    ("from_text_before_address",
     "From: Sent on behalf of xena@example.com by the list",
     "xena@example.com"),
    ("from_unbalanced_paren", "From: yan@example.com (Yan", "yan@example.com"),
    ("from_backslash_quote", 'From: "Zed \\"Z\\" Zane" <zed@example.com>',
     "zed@example.com"),
    # Comments and folding white space inside the address (RFC 5322 3.2.2).
    ("from_cfws_everywhere",
     "From: Pete(A wonderful \\) chap) <pete(his account)@silly.test(his host)>",
     "pete@silly.test"),
    ("from_blanks_around_at", "From: Fay <fay @ example.com>", "fay@example.com"),
    ("from_comment_in_local_part",
     "From: Cy <cy.(middle)jones@(dept)example.com>", "cy.jones@example.com"),
    ("from_comment_before_bare_at", "From: ben (the man) @ example.org",
     "ben@example.org"),
    ("from_address_in_comment_only_counts_outside",
     "From: (write to boss@evil.example) ann2@example.com", "ann2@example.com"),
    ("from_parens_in_quoted_name", 'From: "(x) y" <gus@example.com>',
     "gus@example.com"),
]
for name, header, sender in FROM_CASES:
    headers, body = plain(header, sender, "Question about my order",
                          "Hello, where is order " + name + "?")
    add(name, headers, body, sender, "where is order " + name)

add("from_folded",
    ['From: "A very long display name that the sender\'s program folded"',
     " <folded@example.com>", TO, "Subject: folded", DATE],
    ["Folded sender text."], "folded@example.com", "Folded sender text.")
add("from_duplicate_header",
    ["From: first@example.com", "From: second@example.com", TO,
     "Subject: two From lines", DATE],
    ["Two From lines here."], "first@example.com", "Two From lines here.")
add("from_encoded_word_folded",
    ["From: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus?=", "\t=?UTF-8?Q?_M=C3=BCnchen?=",
     " <gruss@example.de>", TO, "Subject: folded words", DATE],
    ["Servus."], "gruss@example.de", "Servus.")

# --- No parsable From: the sender from the raw text or other headers ---------

add("outside_address_reply_to",
    ["From: @ Outside address", "Reply-To: helpdesk@example.com", TO,
     "Subject: Ticket 4411", DATE],
    ["Your ticket 4411 was updated."], "helpdesk@example.com",
    "Your ticket 4411 was updated.")
add("outside_address_sender",
    ["From: @ Outside address", "Sender: relay-owner@example.com", TO,
     "Subject: relay", DATE],
    ["Relayed for you."], "relay-owner@example.com", "Relayed for you.")
add("outside_address_return_path",
    ["Return-Path: <bounces-77@list.example>", "From: @ Outside address", TO,
     "Subject: list post", DATE],
    ["A list post."], "bounces-77@list.example", "A list post.")
add("outside_address_nothing",
    ["From: @ Outside address", TO, "Subject: nobody", DATE],
    ["Nobody to answer."], "-", "-")
add("empty_from_reply_to",
    ["From:", "Reply-To: Replies <replies@example.com>", TO,
     "Subject: empty from", DATE],
    ["Empty From."], "replies@example.com", "Empty From.")
add("blank_from_sender",
    ["From:    ", "Sender: blank-sender@example.com", TO, "Subject: blank",
     DATE], ["Blank From."], "blank-sender@example.com", "Blank From.")
add("comment_only_from_return_path",
    ["Return-Path: <rp-comment@example.com>", "From: (no address here)", TO,
     "Subject: comment", DATE],
    ["Only a comment."], "rp-comment@example.com", "Only a comment.")
add("undisclosed_from_reply_to",
    ["From: undisclosed-recipients:;", "Reply-To: undisclosed@example.com", TO,
     "Subject: undisclosed", DATE],
    ["Undisclosed From."], "undisclosed@example.com", "Undisclosed From.")
add("empty_angle_from_sender",
    ["From: <>", "Sender: angle-sender@example.com", TO, "Subject: empty angle",
     DATE], ["Empty angle brackets."], "angle-sender@example.com",
    "Empty angle brackets.")
add("no_from_reply_to",
    ["Reply-To: only-reply@example.com", TO, "Subject: no from 1", DATE],
    ["No From, Reply-To."], "only-reply@example.com", "No From, Reply-To.")
add("no_from_sender",
    ["Sender: only-sender@example.com", TO, "Subject: no from 2", DATE],
    ["No From, Sender."], "only-sender@example.com", "No From, Sender.")
add("no_from_return_path",
    ["Return-Path: <only-rp@example.com>", TO, "Subject: no from 3", DATE],
    ["No From, Return-Path."], "only-rp@example.com", "No From, Return-Path.")
add("no_from_sender_before_return_path",
    ["Return-Path: <rp-second@example.com>", "Sender: sender-first@example.com",
     TO, "Subject: no from 4", DATE],
    ["Sender wins."], "sender-first@example.com", "Sender wins.")
add("no_from_reply_to_broken_sender_good",
    ["Reply-To: @ broken", "Sender: good-sender@example.com", TO,
     "Subject: no from 5", DATE],
    ["Broken Reply-To."], "good-sender@example.com", "Broken Reply-To.")
add("no_from_reply_to_raw",
    ["Reply-To: Desk <desk@example.com> @junk", TO, "Subject: no from 6", DATE],
    ["Raw Reply-To."], "desk@example.com", "Raw Reply-To.")
add("no_address_anywhere",
    [TO, "Subject: anonymous", DATE], ["No sender at all."], "-", "-")
add("no_address_bounce",
    ["Return-Path: <>", "From: MAILER-DAEMON (Mail Delivery System)", TO,
     "Subject: Undelivered Mail Returned to Sender", DATE],
    ["This is the mail system at host mx.example."], "-", "-")
add("no_address_all_broken",
    ["From: @ Outside address", "Reply-To: @@", "Sender: (none)",
     "Return-Path: <>", TO, "Subject: all broken", DATE],
    ["All broken."], "-", "-")
add("no_address_encoded_from",
    ["From: =?UTF-8?B?QW5vbnltb3Vz?=", TO, "Subject: name only", DATE],
    ["A name only."], "-", "-")
add("no_address_headers_only_no_blank",
    [TO, "Subject: headers only, nothing else", DATE], [], "-", "-",
    blank=False)
add("no_address_no_headers",
    [], ["Just a body without any header."], "-", "-")
add("no_address_at_only",
    ["From: @", TO, "Subject: at only", DATE], ["At sign only."], "-", "-")
add("no_address_8bit_from",
    [b"From: \xc4\xd6\xdc \xe4\xf6\xfc", TO, "Subject: 8-bit name only", DATE],
    ["8-bit name only."], "-", "-")

# --- Other address headers that do not parse --------------------------------

ADDRESS_LIST_CASES = [
    ("cc_two_without_comma", "Cc: <a@b> c@d"),
    ("cc_outside_address", "Cc: @ Outside address"),
    ("to_undisclosed", "To: undisclosed-recipients:;"),
    ("to_8bit", b"To: Kn\xfcppel <kn@example.de>, \xe9t\xe9@example.fr"),
    ("cc_unterminated_quote", 'Cc: "open <o@example.com>, c2@example.com'),
    ("to_empty_entries", "To: , , me@example.com, ,"),
    ("cc_bad_encoded", "Cc: =?UTF-8?B?@@@?= <cc@example.com>"),
    ("reply_to_garbage", "Reply-To: <<<>>> ;;; @@@"),
    ("bcc_visible", "Bcc: hidden@example.com, @ broken"),
    ("disposition_notification_bad", "Disposition-Notification-To: @ x @ y"),
]
for i, (name, header) in enumerate(ADDRESS_LIST_CASES):
    sender = "lists%02d@example.com" % i
    add(name, ["From: " + sender, TO, header, "Subject: " + name, DATE],
        ["Address list case " + name + "."], sender,
        "Address list case " + name + ".")

add("to_800_addresses",
    ["From: huge-to@example.com",
     "To: " + ", ".join("user%03d@example.com" % i for i in range(800)),
     "Subject: big To", DATE],
    ["Sent to eight hundred."], "huge-to@example.com", "Sent to eight hundred.")

# --- Subjects and other header texts ----------------------------------------

SUBJECT_CASES = [
    ("subject_bad_hex", "=?UTF-8?Q?Caf=E9=G1=?="),
    ("subject_bad_base64", "=?UTF-8?B?SGVsbG8*#$?="),
    ("subject_base64_no_padding", "=?UTF-8?B?SGVsbG8gd29ybGQ?="),
    ("subject_unknown_charset", "=?x-klingon?Q?Qapla=27?="),
    ("subject_unknown_encoding", "=?UTF-8?X?abc?="),
    ("subject_unterminated_word", "=?UTF-8?Q?Open_word"),
    ("subject_empty_word", "=?UTF-8?Q??="),
    ("subject_split_character", "=?UTF-8?Q?=C3?= =?UTF-8?Q?=84pfel?="),
    ("subject_raw_8bit_latin1", b"Pr\xe4sentation f\xfcr M\xe4rz"),
    ("subject_raw_8bit_utf8", "Präsentation für März"),
    ("subject_many_words", " ".join(["=?UTF-8?Q?w=C3=B6rd?="] * 200)),
    ("subject_crlf_injection",
     "=?UTF-8?Q?Hello=0AX-Evil:_1=0A.=0A?="),
    ("subject_cr_injection", "=?UTF-8?Q?Line=0Done=0D.=0Dtwo?="),
    ("subject_nul_injection", "=?UTF-8?Q?Null=00byte=00here?="),
    ("subject_base64_crlf", "=?UTF-8?B?" +
     base64.b64encode(b"Hi\r\n.\r\nQUIT\r\n").decode() + "?="),
    ("subject_raw_tab_and_ctl", "Tab\there and \x01\x02\x7f bytes"),
    ("subject_koi8r_word", "=?koi8-r?B?" +
     base64.b64encode("Привет".encode("koi8-r")).decode() + "?="),
    ("subject_iso2022jp_word", "=?ISO-2022-JP?B?" +
     base64.b64encode("会議".encode("iso2022_jp")).decode() + "?="),
    ("subject_gb2312_word", "=?GB2312?B?" +
     base64.b64encode("你好".encode("gb2312")).decode() + "?="),
    ("subject_shift_jis_word", "=?Shift_JIS?B?" +
     base64.b64encode("お知らせ".encode("shift_jis")).decode() + "?="),
]
for i, (name, subject) in enumerate(SUBJECT_CASES):
    sender = "subjects%02d@example.com" % i
    head = subject if isinstance(subject, bytes) else subject.encode("utf-8")
    add(name, ["From: " + sender, TO, b"Subject: " + head, DATE],
        ["Subject case " + name + "."], sender, "Subject case " + name + ".")

HEADER_CASES = [
    ("organization_bad_word", "Organization: =?UTF-8?Q?ACME=0D=0AInc?="),
    ("organization_8bit", b"Organization: Soci\xe9t\xe9 G\xe9n\xe9rale"),
    ("missing_colon_line", "This header line has no colon at all"),
    ("missing_colon_between", "X-First: 1\r\nno colon here\r\nX-Last: 2"),
    ("space_before_colon", "Subject : spaced colon"),
    ("empty_header_name", ": empty name"),
    ("header_only_spaces_continuation", "X-Empty:\r\n   \r\n\t"),
    ("content_type_garbage", "Content-Type: ;;;===;;; boundary"),
    ("content_type_unknown", "Content-Type: application/x-unknown-thing"),
    ("transfer_encoding_unknown", "Content-Transfer-Encoding: x-uuencode-ish"),
    ("priority_garbage", "X-Priority: urgent!!! 99999999999999999999"),
    ("message_id_8bit", b"Message-ID: <\xff\xfe@example.com>"),
    ("mime_version_garbage", "MIME-Version: 1.0 (produced by \x01)"),
    ("x_header_nul_word", "X-Note: =?UTF-8?Q?a=00b=0Dc=0Ad?="),
]
for i, (name, header) in enumerate(HEADER_CASES):
    sender = "headers%02d@example.com" % i
    add(name, ["From: " + sender, TO, "Subject: " + name, DATE, header],
        ["Header case " + name + "."], sender, "Header case " + name + ".")

add("header_line_20k",
    ["From: longheader@example.com", TO, "Subject: long header", DATE,
     "X-Spam-Report: " + "score=1.0 " * 2048],
    ["Long header line above."], "longheader@example.com",
    "Long header line above.")
add("references_20k_folded",
    ["From: refs@example.com", TO, "Subject: long references", DATE,
     "References: " + "\r\n ".join("<id%05d@example.com>" % i
                                    for i in range(1000))],
    ["Many references."], "refs@example.com", "Many references.")
add("subject_20k_unfolded",
    ["From: longsubject@example.com", TO,
     "Subject: " + "Sale " * 4200, DATE],
    ["Long subject above."], "longsubject@example.com", "Long subject above.")
add("header_block_3000_lines",
    ["From: manyheaders@example.com", TO, "Subject: many headers", DATE] +
    ["Received: from relay%04d.example by relay.example" % i
     for i in range(3000)],
    ["Many header lines above."], "manyheaders@example.com",
    "Many header lines above.")

# --- Dates --------------------------------------------------------------------

DATE_CASES = [
    ("date_missing", None),
    ("date_garbage", "Date: yesterday at noon"),
    ("date_empty", "Date:"),
    ("date_two_digit_year", "Date: Mon, 1 Jan 99 10:00:00 GMT"),
    ("date_bad_zone", "Date: Tue, 01 Dec 2026 12:00:00 +9999"),
    ("date_huge_numbers", "Date: 99999999 Foo 99999999 99:99:99 -9999"),
    ("date_iso", "Date: 2026-12-01T12:00:00Z"),
    ("date_year_zero", "Date: Sat, 00 Jan 0000 00:00:00 +0000"),
    ("date_8bit", b"Date: Di, 01 D\xe9z 2026 12:00:00 +0100"),
    ("date_negative", "Date: -1 Dec -2026 -12:-00:-00"),
]
for i, (name, header) in enumerate(DATE_CASES):
    sender = "dates%02d@example.com" % i
    headers = ["From: " + sender, TO, "Subject: " + name]
    if header is not None:
        headers.append(header)
    add(name, headers, ["Date case " + name + "."], sender,
        "Date case " + name + ".")

# --- Charsets ---------------------------------------------------------------

CHARSETS = [
    ("iso-8859-1", "iso-8859-1", "Grüße aus Köln, schöne Äpfel"),
    ("iso-8859-2", "iso-8859-2", "Dzień dobry, żółć"),
    ("iso-8859-5", "iso-8859-5", "Добрый день, друзья"),
    ("iso-8859-15", "iso-8859-15", "Preis: 20 € für Œuvre"),
    ("windows-1251", "cp1251", "Здравствуйте, коллеги"),
    ("windows-1252", "cp1252", "Café “quoted” – déjà vu"),
    ("koi8-r", "koi8-r", "Привет из Москвы"),
    ("shift_jis", "shift_jis", "こんにちは世界"),
    ("iso-2022-jp", "iso2022_jp", "会議の議事録です"),
    ("gb2312", "gb2312", "你好，世界"),
    ("utf-8", "utf-8", "Grüße – Привет – 你好 – こんにちは"),
]
for label, codec, phrase in CHARSETS:
    key = label.replace("-", "").replace("_", "")
    data = (phrase + "\n").encode(codec)
    ascii_line = "Reference " + key + " in plain ASCII."
    # One part, 8 bit: the forward keeps the body bytes as they are.
    add("charset_%s_8bit" % key,
        ["From: %s-8bit@example.com" % key, TO, "Subject: " + label + " 8bit",
         DATE, "MIME-Version: 1.0",
         "Content-Type: text/plain; charset=" + label,
         "Content-Transfer-Encoding: " +
         ("7bit" if codec == "iso2022_jp" else "8bit")],
        [ascii_line, data.rstrip(b"\n")], "%s-8bit@example.com" % key,
        ascii_line)
    # Multipart, quoted-printable text: converted from its charset.
    boundary = "----=_Part_%s" % key
    add("charset_%s_qp_multipart" % key,
        ["From: %s-qp@example.com" % key, TO, "Subject: " + label + " qp",
         DATE, "MIME-Version: 1.0",
         'Content-Type: multipart/alternative; boundary="%s"' % boundary],
        ["This is a multi-part message in MIME format.", "",
         "--" + boundary,
         "Content-Type: text/plain; charset=\"%s\"" % label,
         "Content-Transfer-Encoding: quoted-printable", ""] +
        qp_lines(data) +
        ["", "--" + boundary, "Content-Type: text/html; charset=" + label,
         "Content-Transfer-Encoding: quoted-printable", ""] +
        qp_lines(b"<html><body><p>" + data + b"</p></body></html>") +
        ["", "--" + boundary + "--", ""],
        "%s-qp@example.com" % key, phrase)
    # Multipart, base64 text.
    add("charset_%s_base64_multipart" % key,
        ["From: %s-b64@example.com" % key, TO, "Subject: " + label + " b64",
         DATE, "MIME-Version: 1.0",
         'Content-Type: multipart/mixed; boundary="%s"' % boundary],
        ["--" + boundary, "Content-Type: text/plain; charset=" + label,
         "Content-Transfer-Encoding: base64", ""] + b64_lines(data) +
        ["--" + boundary + "--"],
        "%s-b64@example.com" % key, phrase)

# One part, encoded as a whole: read as its one text part.
add("single_part_qp_utf8",
    ["From: single-qp@example.com", TO, "Subject: qp", DATE, "MIME-Version: 1.0",
     "Content-Type: text/plain; charset=utf-8",
     "Content-Transfer-Encoding: quoted-printable"],
    qp_lines("Schöne Grüße aus Wien\nSecond line here.\n".encode()),
    "single-qp@example.com", "Second line here.")
add("single_part_base64_latin1",
    ["From: single-b64@example.com", TO, "Subject: b64", DATE,
     "MIME-Version: 1.0", "Content-Type: text/plain; charset=iso-8859-1",
     "Content-Transfer-Encoding: base64"],
    b64_lines("Base64 body text.\nÉté à Paris\n".encode("iso-8859-1")),
    "single-b64@example.com", "Base64 body text.")
add("charset_unknown_label",
    ["From: unknown-charset@example.com", TO, "Subject: unknown charset", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="u1"'],
    ["--u1", "Content-Type: text/plain; charset=x-no-such-charset",
     "Content-Transfer-Encoding: 8bit", "", "Text in an unknown charset.",
     "--u1--"], "unknown-charset@example.com", "Text in an unknown charset.")
add("charset_invalid_utf8",
    ["From: invalid-utf8@example.com", TO, "Subject: invalid utf-8", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="u2"'],
    ["--u2", "Content-Type: text/plain; charset=utf-8",
     "Content-Transfer-Encoding: 8bit", "",
     b"Broken \xc3 sequence \xff\xfe and then valid text.", "--u2--"],
    "invalid-utf8@example.com", "and then valid text.")

# --- HTML-only mail ---------------------------------------------------------

HTML_CASES = [
    ("html_entities",
     "<p>Spring sale: 40% off &amp; free shipping</p>",
     "Spring sale: 40% off & free shipping"),
    ("html_numeric_entities",
     "<div>Caf&#233; &#x26; bar &lt;tonight&gt;</div>",
     "Café & bar <tonight>"),
    ("html_script_and_style",
     "<html><head><style>p{color:red}</style></head><body>"
     "<p>Newsletter issue 12 is here</p></body></html>",
     "Newsletter issue 12 is here"),
    ("html_unclosed_tags",
     "<html><body><p>Unclosed paragraph text<br><b>bold",
     "Unclosed paragraph text"),
    ("html_comment", "<!-- hidden --><p>Visible words only</p>",
     "Visible words only"),
    ("html_broken_entity", "<p>Fish &chips and &#99999999999; end</p>",
     "end"),
]
for i, (name, html, expect) in enumerate(HTML_CASES):
    sender = "html%02d@news.example" % i
    add(name, ["From: News <%s>" % sender, TO, "Subject: " + name, DATE,
               "MIME-Version: 1.0", 'Content-Type: multipart/alternative; '
               'boundary="h%d"' % i],
        ["--h%d" % i, "Content-Type: text/html; charset=us-ascii",
         "Content-Transfer-Encoding: 7bit", "", html, "--h%d--" % i],
        sender, expect)
add("html_qp_latin1",
    ["From: html-qp@news.example", TO, "Subject: html qp", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/alternative; boundary="hq"'],
    ["--hq", "Content-Type: text/html; charset=iso-8859-1",
     "Content-Transfer-Encoding: quoted-printable", ""] +
    qp_lines("<p>Fr&uuml;hling in M\u00fcnchen &amp; Wien</p>\n".encode(
        "iso-8859-1")) + ["--hq--"],
    "html-qp@news.example", "nchen & Wien")
add("html_base64_utf8",
    ["From: html-b64@news.example", TO, "Subject: html b64", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/related; boundary="hb"'],
    ["--hb", "Content-Type: text/html; charset=utf-8",
     "Content-Transfer-Encoding: base64", ""] +
    b64_lines("<table><tr><td>Привет, подписчик</td></tr></table>".encode()) +
    ["--hb--"], "html-b64@news.example", "Привет, подписчик")

# --- Multipart layouts, nested and broken -----------------------------------

LOGO = bytes(range(256)) * 8  # 2048 bytes

add("multipart_text_and_attachment",
    ["From: office@example.com", TO, "Subject: invoice", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="m1"'],
    ["--m1", "Content-Type: text/plain; charset=us-ascii", "",
     "Please find the invoice attached.", "--m1",
     'Content-Type: application/pdf; name="invoice.pdf"',
     "Content-Transfer-Encoding: base64",
     'Content-Disposition: attachment; filename="invoice.pdf"', ""] +
    b64_lines(LOGO) + ["--m1--"],
    "office@example.com", "Please find the invoice attached.")
add("multipart_attachment_only",
    ["From: scanner@example.com", TO, "Subject: scan", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="m2"'],
    ["--m2", 'Content-Type: image/png; name="scan.png"',
     "Content-Transfer-Encoding: base64",
     'Content-Disposition: attachment; filename="scan.png"', ""] +
    b64_lines(LOGO) + ["--m2--"],
    "scanner@example.com", "Attachment: scan.png (2048 bytes)")
add("multipart_nested_three_levels",
    ["From: nested@example.com", TO, "Subject: nested", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="outer"'],
    ["--outer", 'Content-Type: multipart/related; boundary="middle"', "",
     "--middle", 'Content-Type: multipart/alternative; boundary="inner"', "",
     "--inner", "Content-Type: text/plain; charset=utf-8", "",
     "Deeply nested plain text.", "--inner",
     "Content-Type: text/html; charset=utf-8", "",
     "<p>Deeply nested html</p>", "--inner--", "--middle",
     "Content-Type: image/gif; name=\"dot.gif\"",
     "Content-Transfer-Encoding: base64", "Content-ID: <dot1>", "",
     "R0lGODlhAQABAAAAACw=", "--middle--", "--outer",
     'Content-Type: text/csv; name="data.csv"',
     'Content-Disposition: attachment; filename="data.csv"', "",
     "a,b,c", "1,2,3", "--outer--"],
    "nested@example.com", "Deeply nested plain text.")
add("multipart_missing_closing_boundary",
    ["From: noclose@example.com", TO, "Subject: no closing", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="nc"'],
    ["--nc", "Content-Type: text/plain", "",
     "Text of a part that is never closed."],
    "noclose@example.com", "Text of a part that is never closed.")
add("multipart_boundary_never_present",
    ["From: noboundary@example.com", TO, "Subject: no boundary", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="absent"'],
    ["The sender's program forgot the parts.", "Just lines."],
    "noboundary@example.com", "The sender's program forgot the parts.")
add("multipart_no_boundary_parameter",
    ["From: noparam@example.com", TO, "Subject: no boundary parameter", DATE,
     "MIME-Version: 1.0", "Content-Type: multipart/mixed"],
    ["--", "Content-Type: text/plain", "", "Parameterless multipart text."],
    "noparam@example.com", "Parameterless multipart text.")
add("multipart_part_header_runs_into_end",
    ["From: cutheader@example.com", TO, "Subject: cut part header", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="ch"'],
    ["--ch", "Content-Type: text/plain", "", "Text before the cut part.",
     "--ch", 'Content-Type: application/octet-stream; name="cut.bin"',
     "Content-Transfer-Encoding: base64"],
    "cutheader@example.com", "Text before the cut part.")
add("multipart_part_body_cut",
    ["From: cutbody@example.com", TO, "Subject: cut part body", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="cb"'],
    ["--cb", "Content-Type: text/plain", "", "Text before the cut body.",
     "--cb", 'Content-Type: application/zip; name="cut.zip"',
     "Content-Transfer-Encoding: base64", "",
     "UEsDBBQAAAAIAA", "UEsDBBQ"],
    "cutbody@example.com", "Text before the cut body.")
add("multipart_empty_parts",
    ["From: emptyparts@example.com", TO, "Subject: empty parts", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="ep"'],
    ["--ep", "", "--ep", "Content-Type: text/plain", "", "--ep",
     "Content-Type: text/plain", "", "Third part has the text.", "--ep--"],
    "emptyparts@example.com", "-")
add("multipart_wrong_inner_boundary",
    ["From: wronginner@example.com", TO, "Subject: wrong inner", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="wo"'],
    ["--wo", 'Content-Type: multipart/alternative; boundary="wi"', "",
     "--xx", "Content-Type: text/plain", "", "Inner boundary mismatch text.",
     "--wi--", "--wo--"],
    "wronginner@example.com", "Inner boundary mismatch text.")
add("multipart_boundary_with_spaces",
    ["From: spacedboundary@example.com", TO, "Subject: spaced", DATE,
     "MIME-Version: 1.0",
     'Content-Type: multipart/mixed; boundary="  spaced boundary  "'],
    ["--  spaced boundary  ", "Content-Type: text/plain", "",
     "Boundary with spaces.", "--  spaced boundary  --"],
    "spacedboundary@example.com", "Boundary with spaces.")
add("multipart_preamble_and_epilogue",
    ["From: preamble@example.com", TO, "Subject: preamble", DATE,
     "MIME-Version: 1.0", "Content-Type: multipart/mixed; boundary=pe"],
    ["Preamble text that mail programs hide.", "--pe",
     "Content-Type: text/plain", "", "Text between preamble and epilogue.",
     "--pe--", "Epilogue junk", "--pe", "more junk"],
    "preamble@example.com", "Text between preamble and epilogue.")
add("multipart_message_rfc822",
    ["From: bounce-report@example.com", TO, "Subject: forwarded message", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="fw"'],
    ["--fw", "Content-Type: text/plain", "", "See the mail below.", "--fw",
     "Content-Type: message/rfc822", "", "From: inner@example.com",
     "Subject: inner", "", "Inner message text.", "--fw--"],
    "bounce-report@example.com", "See the mail below.")
add("multipart_attachment_8bit_name",
    ["From: names@example.com", TO, "Subject: names", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="an"'],
    ["--an", "Content-Type: text/plain", "", "Attachment with odd name.",
     "--an", b'Content-Type: application/octet-stream; name="R\xe9sum\xe9.doc"',
     "Content-Transfer-Encoding: base64",
     "Content-Disposition: attachment; "
     "filename*=UTF-8''%E2%80%AE%0D%0Aevil.txt", ""] +
    b64_lines(b"resume data") + ["--an--"],
    "names@example.com", "Attachment with odd name.")
add("multipart_encoded_word_filename",
    ["From: wordname@example.com", TO, "Subject: word name", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="wn"'],
    ["--wn", "Content-Type: text/plain", "", "Encoded file name attached.",
     "--wn", 'Content-Type: application/octet-stream; '
     'name="=?UTF-8?Q?a=0D=0A.=0D=0Ab.txt?="',
     "Content-Transfer-Encoding: base64",
     'Content-Disposition: attachment; '
     'filename="=?UTF-8?Q?a=0D=0A.=0D=0Ab.txt?="', ""] +
    b64_lines(b"0123456789") + ["--wn--"],
    "wordname@example.com", "Encoded file name attached.")
add("multipart_deep_nesting_30",
    ["From: deep@example.com", TO, "Subject: deep", DATE, "MIME-Version: 1.0",
     'Content-Type: multipart/mixed; boundary="d0"'],
    sum([["--d%d" % i, 'Content-Type: multipart/mixed; boundary="d%d"' %
          (i + 1), ""] for i in range(29)], []) +
    ["--d29", "Content-Type: text/plain", "", "Thirty levels down."] +
    ["--d%d--" % i for i in range(29, -1, -1)],
    "deep@example.com", "Thirty levels down.")
add("multipart_qp_soft_breaks",
    ["From: softbreak@example.com", TO, "Subject: soft", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="sb"'],
    ["--sb", "Content-Type: text/plain; charset=utf-8",
     "Content-Transfer-Encoding: quoted-printable", "",
     "This line is broken by a soft=", "break in the middle.",
     "Bad escape =ZZ and trailing =", "--sb--"],
    "softbreak@example.com", "This line is broken by a softbreak in the middle.")

# --- Transfer decoding errors -----------------------------------------------

add("base64_bad_line_lengths",
    ["From: badb64lines@example.com", TO, "Subject: bad base64 lines", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="bl"'],
    ["--bl", "Content-Type: text/plain", "", "Please see the scan attached.",
     "--bl", 'Content-Type: image/jpeg; name="scan.jpg"',
     "Content-Transfer-Encoding: base64",
     'Content-Disposition: attachment; filename="scan.jpg"', "",
     "/9j/4AAQSkZJRgABAQEASABIAAD", "/9j/4A", "/9j/4AAQSkZJRgABAQEASABIAAD/",
     "x", "=====", "--bl--"],
    "badb64lines@example.com", "Please see the scan attached.")
add("base64_garbage_characters",
    ["From: b64garbage@example.com", TO, "Subject: garbage base64", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="bg"'],
    ["--bg", "Content-Type: text/plain", "", "Garbage attachment follows.",
     "--bg", 'Content-Type: application/octet-stream; name="g.bin"',
     "Content-Transfer-Encoding: base64", "",
     "!!!!$$$$%%%%^^^^", "ÄÖÜ", "SGVsbG8=SGVsbG8=", "--bg--"],
    "b64garbage@example.com", "Garbage attachment follows.")
add("base64_text_part_bad",
    ["From: b64text@example.com", TO, "Subject: bad base64 text", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="bt"'],
    ["--bt", "Content-Type: text/plain; charset=utf-8",
     "Content-Transfer-Encoding: base64", "",
     base64.b64encode(b"Readable start. ").decode() + "@@@", "--bt--"],
    "b64text@example.com", "-")
add("uue_bad_begin_mode",
    ["From: uuebad@example.com", TO, "Subject: uue begin", DATE],
    ["Text before the bad begin line.", "begin 9z9 file.txt",
     "M:&5L;&\\@=V]R;&0*", "end"],
    "uuebad@example.com", "Text before the bad begin line.")
add("uue_begin_no_name",
    ["From: uuenoname@example.com", TO, "Subject: uue no name", DATE],
    ["Text before the nameless begin.", "begin 644", "#86)C", "`", "end"],
    "uuenoname@example.com", "Text before the nameless begin.")
add("uue_without_end",
    ["From: uuenoend@example.com", TO, "Subject: uue no end", DATE],
    ["Text before the endless block.", "begin 644 notes.txt",
     "M5&AI<R!I<R!A(&QI;F4@;V8@=&5X=\"!I;B!A;B!U=65N8V]D960@8FQO8VL*"],
    "uuenoend@example.com", "Text before the endless block.")
add("uue_bad_line_lengths",
    ["From: uuelen@example.com", TO, "Subject: uue lengths", DATE],
    ["Text before the bad lengths.", "begin 644 x.bin", "M", "Zabc",
     "M" + "A" * 200, "`", "end"],
    "uuelen@example.com", "Text before the bad lengths.")
add("uue_good",
    ["From: uuegood@example.com", TO, "Subject: uue good", DATE],
    ["Old mailer text.", "begin 644 hello.txt", "+:&5L;&\\@=V]R;&0*", "`",
     "end", "Text after the block."],
    "uuegood@example.com", "Old mailer text.")
add("xxe_block",
    ["From: xxe@example.com", TO, "Subject: xxe", DATE],
    ["XXE mailer text.", "begin 644 x.txt", "hNalVQqoi+R", "+", "end"],
    "xxe@example.com", "XXE mailer text.")

# --- Line ends, long lines, dots -----------------------------------------------

add("lf_only_plain",
    ["From: lfonly@example.com", TO, "Subject: LF only", DATE],
    ["Unix mailer text.", "Second line."], "lfonly@example.com",
    "Unix mailer text.", eol="\n")
add("lf_only_multipart",
    ["From: lfmulti@example.com", TO, "Subject: LF multipart", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="lf"'],
    ["--lf", "Content-Type: text/plain", "", "LF-only multipart text.",
     "--lf--"], "lfmulti@example.com", "LF-only multipart text.", eol="\n")
add_raw("bare_cr_in_body",
        b"From: barecr@example.com\r\nTo: me@example.com\r\n"
        b"Subject: bare CR\r\n" + DATE.encode() + b"\r\n\r\n"
        b"Before\rafter a bare CR.\r\nVisible line after bare CR.\r\n",
        "barecr@example.com", "Visible line after bare CR.")
add_raw("mixed_line_ends",
        b"From: mixedeol@example.com\nTo: me@example.com\r\n"
        b"Subject: mixed\n" + DATE.encode() + b"\r\n\n"
        b"Line one.\nLine two.\r\nLine three with mixed ends.\n",
        "mixedeol@example.com", "Line three with mixed ends.")
add_raw("no_final_newline",
        b"From: nofinal@example.com\r\nTo: me@example.com\r\n"
        b"Subject: no final newline\r\n\r\nThe last line has no end.",
        "nofinal@example.com", "The last line has no end.")
add("body_line_100k",
    ["From: longline@example.com", TO, "Subject: long line", DATE],
    ["Text before the long line.", "x" * 102400, "Text after the long line."],
    "longline@example.com", "Text after the long line.")
add("body_line_100k_in_part",
    ["From: longpart@example.com", TO, "Subject: long part line", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="lp"'],
    ["--lp", "Content-Type: text/plain", "", "Part text before long line.",
     "y" * 102400, "Part text after long line.", "--lp--"],
    "longpart@example.com", "Part text before long line.")
add("base64_line_100k",
    ["From: longb64@example.com", TO, "Subject: long base64", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="lb"'],
    ["--lb", "Content-Type: text/plain", "", "Text before the unbroken base64.",
     "--lb", 'Content-Type: application/octet-stream; name="one.bin"',
     "Content-Transfer-Encoding: base64", "",
     base64.b64encode(bytes(76800)).decode(), "--lb--"],
    "longb64@example.com", "Text before the unbroken base64.")
add("lone_dot_line",
    ["From: lonedot@example.com", TO, "Subject: dot", DATE],
    ["Before the dot.", ".", "After the lone dot line."],
    "lonedot@example.com", "After the lone dot line.")
add("double_dot_line",
    ["From: doubledot@example.com", TO, "Subject: dots", DATE],
    ["Before the dots.", "..", "...", ".leading dot", "After the double dot."],
    "doubledot@example.com", "After the double dot.")
add("dot_lines_in_text_part",
    ["From: dotpart@example.com", TO, "Subject: dot part", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="dp"'],
    ["--dp", "Content-Type: text/plain", "Content-Transfer-Encoding: 7bit",
     "", "Part before dot.", ".", "..", "Part after dots.", "--dp--"],
    "dotpart@example.com", "Part after dots.")
add("dot_in_qp_part",
    ["From: dotqp@example.com", TO, "Subject: dot qp", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="dq"'],
    ["--dq", "Content-Type: text/plain; charset=utf-8",
     "Content-Transfer-Encoding: quoted-printable", "",
     "QP before.=0D=0A.=0D=0AQUIT=0D=0A", "=2E", "QP after dot.", "--dq--"],
    "dotqp@example.com", "QP after dot.")
add("smtp_commands_in_body",
    ["From: cmds@example.com", TO, "Subject: commands", DATE],
    [".", "MAIL FROM:<attacker@evil.example>", "RCPT TO:<victim@example.com>",
     "DATA", "Smuggled.", ".", "QUIT", "Body text after commands."],
    "cmds@example.com", "Body text after commands.")
add_raw("nul_bytes_in_body",
        b"From: nulbody@example.com\r\nTo: me@example.com\r\n"
        b"Subject: NUL\r\n\r\nBefore\x00NUL.\r\nAfter the NUL line.\r\n",
        "nulbody@example.com", "After the NUL line.")
add("empty_body",
    ["From: emptybody@example.com", TO, "Subject: empty body", DATE], [],
    "emptybody@example.com", "-")
add("headers_only_no_blank",
    ["From: headersonly@example.com", TO, "Subject: headers only", DATE], [],
    "headersonly@example.com", "-", blank=False)
add("blank_lines_only",
    ["From: blanks@example.com", TO, "Subject: blanks", DATE],
    [""] * 500 + ["Text after five hundred blank lines."],
    "blanks@example.com", "Text after five hundred blank lines.")

# --- Injections through encoded words in the sender --------------------------

add("from_crlf_dot_smtp_injection",
    ["From: =?UTF-8?Q?Evil=0D=0A.=0D=0AMAIL_FROM:=3Cx@evil.example=3E=0D=0A"
     "RCPT_TO:=3Cvictim@example.com=3E=0D=0ADATA=0D=0ASmuggled?= "
     "<inject1@example.com>", TO, "Subject: hi", DATE],
    ["Injection one."], "inject1@example.com", "Injection one.")
add("from_base64_crlf_injection",
    ["From: =?UTF-8?B?" +
     base64.b64encode(b"Eve\r\n.\r\nQUIT\r\n").decode() +
     "?= <inject2@example.com>", TO, "Subject: hi", DATE],
    ["Injection two."], "inject2@example.com", "Injection two.")
add("from_lf_only_injection",
    ["From: =?UTF-8?Q?Mal=0A.=0AX-Evil:_1?= <inject3@example.com>", TO,
     "Subject: hi", DATE], ["Injection three."], "inject3@example.com",
    "Injection three.")
add("from_nul_injection",
    ["From: =?UTF-8?Q?Nul=00Name?= <inject4@example.com>", TO, "Subject: hi",
     DATE], ["Injection four."], "inject4@example.com", "Injection four.")
add("from_cr_only_injection",
    ["From: =?ISO-8859-1?Q?Cr=0D.=0DQUIT?= <inject5@example.com>", TO,
     "Subject: hi", DATE], ["Injection five."], "inject5@example.com",
    "Injection five.")
add("reply_to_injection_no_from",
    ["Reply-To: =?UTF-8?Q?R=0D=0A.=0D=0A?= <inject6@example.com>", TO,
     "Subject: hi", DATE], ["Injection six."], "inject6@example.com",
    "Injection six.")

# --- Ordinary mail of many kinds --------------------------------------------

add("newsletter_alternative",
    ["Return-Path: <bounce-123@mail.news.example>",
     "Received: from mail.news.example (mail.news.example [192.0.2.1])",
     "\tby mx.example.com with ESMTPS id 4Ab; Tue, 01 Dec 2026 11:59:58 +0000",
     "DKIM-Signature: v=1; a=rsa-sha256; d=news.example; s=s1;",
     "\th=from:to:subject; bh=47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=;",
     "\tb=dGVzdA==", "From: Weekly News <weekly@news.example>", TO,
     "Subject: =?UTF-8?Q?Your_weekly_digest_=E2=80=93_issue_42?=", DATE,
     "List-Unsubscribe: <mailto:unsub@news.example>, "
     "<https://news.example/u/1>", "MIME-Version: 1.0",
     'Content-Type: multipart/alternative; boundary="b1_abc"'],
    ["--b1_abc", "Content-Type: text/plain; charset=UTF-8",
     "Content-Transfer-Encoding: quoted-printable", "",
     "This week: three stories you should not miss.", "",
     "Unsubscribe: https://news.example/u/1", "--b1_abc",
     "Content-Type: text/html; charset=UTF-8",
     "Content-Transfer-Encoding: quoted-printable", "",
     "<html><body><h1>This week</h1></body></html>", "--b1_abc--"],
    "weekly@news.example", "This week: three stories you should not miss.")
add("spam_pharmacy",
    ["From: \"Best Pharmacy\" <no-reply@ph4rm.example>",
     "To: undisclosed-recipients:;",
     "Subject: =?windows-1251?B?weXx7+vg8u3g/yDk7vHy4OLq4A==?=",
     "Date: Mon, 32 Foo 2026 25:61:61 +2500",
     "X-Mailer: The Bat! (v3.0) Professional", "MIME-Version: 1.0",
     "Content-Type: text/html; charset=\"windows-1251\"",
     "Content-Transfer-Encoding: 8bit"],
    [b"<html><body><font size=7>\xc1\xc5\xd1\xcf\xcb\xc0\xd2\xcd\xce</font>"
     b"<a href=http://ph4rm.example>CLICK HERE</a></body></html>"],
    "no-reply@ph4rm.example", "CLICK HERE")
add("old_mailer_no_mime",
    ["Received: from UUCP by host.example; 01 Dec 96 12:00 EST",
     "From: oldtimer@host.example (Old Timer)", "To: me@example.com",
     "Subject: Re: Re: Re: the old days", "Date: 1 Dec 96 12:00 EST",
     "X-Mailer: Eudora Light 1.5.2"],
    ["> > > quoted three times", "> > quoted twice", "I remember the old days."],
    "oldtimer@host.example", "I remember the old days.")
add("outlook_style",
    ["From: =?Windows-1252?Q?M=FCller=2C_J=F6rg?= <j.mueller@firma.example>",
     "To: \"me@example.com\" <me@example.com>",
     "Subject: AW: Angebot", "Date: Tue, 1 Dec 2026 13:00:00 +0100",
     "Thread-Topic: Angebot", "Thread-Index: AQHXabc=",
     "Content-Language: de-DE", "MIME-Version: 1.0",
     "Content-Type: multipart/alternative;",
     '\tboundary="_000_AM0PR01MB1234_"'],
    ["--_000_AM0PR01MB1234_", "Content-Type: text/plain; charset=\"Windows-1252\"",
     "Content-Transfer-Encoding: quoted-printable", "",
     "Sehr geehrte Damen und Herren, anbei das Angebot f=FCr Sie.",
     "--_000_AM0PR01MB1234_",
     "Content-Type: text/html; charset=\"Windows-1252\"",
     "Content-Transfer-Encoding: quoted-printable", "",
     "<html><body>Angebot</body></html>", "--_000_AM0PR01MB1234_--"],
    "j.mueller@firma.example", "anbei das Angebot für Sie.")
add("japanese_iso2022_plain",
    ["From: =?ISO-2022-JP?B?" +
     base64.b64encode("山田太郎".encode("iso2022_jp")).decode() +
     "?= <yamada@example.jp>", TO,
     "Subject: =?ISO-2022-JP?B?" +
     base64.b64encode("お見積り".encode("iso2022_jp")).decode() + "?=",
     DATE, "MIME-Version: 1.0", "Content-Type: text/plain; charset=ISO-2022-JP",
     "Content-Transfer-Encoding: 7bit"],
    ["Yamada mail in ISO-2022-JP.",
     "お世話になっております。".encode("iso2022_jp")],
    "yamada@example.jp", "Yamada mail in ISO-2022-JP.")
add("chinese_gb2312_html",
    ["From: =?GB2312?B?" + base64.b64encode("王先生".encode("gb2312")).decode() +
     "?= <wang@example.cn>", TO,
     "Subject: =?GB2312?B?" +
     base64.b64encode("会议通知".encode("gb2312")).decode() + "?=", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/alternative; boundary="cn"'],
    ["--cn", "Content-Type: text/html; charset=gb2312",
     "Content-Transfer-Encoding: base64", ""] +
    b64_lines("<p>明天上午十点开会</p>".encode("gb2312")) + ["--cn--"],
    "wang@example.cn", "明天上午十点开会")
add("calendar_invite",
    ["From: calendar@example.com", TO, "Subject: Invitation: review", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="cal"'],
    ["--cal", "Content-Type: text/plain; charset=utf-8", "",
     "You have been invited to the review.", "--cal",
     "Content-Type: text/calendar; method=REQUEST; name=\"invite.ics\"",
     "Content-Transfer-Encoding: 7bit", "", "BEGIN:VCALENDAR",
     "END:VCALENDAR", "--cal--"],
    "calendar@example.com", "You have been invited to the review.")
add("delivery_status_report",
    ["Return-Path: <>", "From: Mail Delivery Subsystem <mailer-daemon@mx.example>",
     TO, "Subject: Delivery Status Notification (Failure)", DATE,
     "MIME-Version: 1.0", "Content-Type: multipart/report; "
     "report-type=delivery-status; boundary=\"dsn\""],
    ["--dsn", "Content-Type: text/plain", "",
     "Your message could not be delivered.", "--dsn",
     "Content-Type: message/delivery-status", "", "Reporting-MTA: dns; mx",
     "", "Final-Recipient: rfc822; gone@example.com", "Action: failed",
     "--dsn--"],
    "mailer-daemon@mx.example", "Your message could not be delivered.")
add("signed_message",
    ["From: signer@example.com", TO, "Subject: signed", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/signed; '
     'protocol="application/pgp-signature"; micalg=pgp-sha256; '
     'boundary="sig"'],
    ["--sig", "Content-Type: text/plain; charset=us-ascii", "",
     "This text is signed.", "--sig",
     'Content-Type: application/pgp-signature; name="signature.asc"', "",
     "-----BEGIN PGP SIGNATURE-----", "iQEzBAEBCAAdFiEE", "=abcd",
     "-----END PGP SIGNATURE-----", "--sig--"],
    "signer@example.com", "This text is signed.")
add("mailing_list_footer",
    ["From: poster@lists.example", "Sender: list-bounces@lists.example",
     "Reply-To: list@lists.example", TO,
     "Subject: [list] weekly question", DATE,
     "List-Id: <list.lists.example>", "Precedence: list"],
    ["A question for the list.", "_______________________________________________",
     "list mailing list"], "poster@lists.example", "A question for the list.")
add("auto_reply_vacation",
    ["From: vacation@example.com", TO, "Subject: Out of office",
     "Auto-Submitted: auto-replied", "X-Autoreply: yes", DATE],
    ["I am away until Monday."], "vacation@example.com",
    "I am away until Monday.")
add("tab_folded_everything",
    ["From:", "\tTabbed Name", "\t<tabbed@example.com>", "To:", "\tme@example.com",
     "Subject:", "\tfolded", "\tsubject", DATE],
    ["Every header folded."], "tabbed@example.com", "Every header folded.")
add("content_type_text_no_charset_8bit",
    ["From: nocharset@example.com", TO, "Subject: no charset", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="nch"'],
    ["--nch", "Content-Type: text/plain", "Content-Transfer-Encoding: 8bit", "",
     b"Caf\xe9 without charset, plain words after.", "--nch--"],
    "nocharset@example.com", "plain words after.")
add("text_plain_attachment_disposition",
    ["From: textattach@example.com", TO, "Subject: text as attachment", DATE,
     "MIME-Version: 1.0", 'Content-Type: multipart/mixed; boundary="ta"'],
    ["--ta", "Content-Type: text/plain", "", "The body text comes first.",
     "--ta", 'Content-Type: text/plain; name="log.txt"',
     'Content-Disposition: attachment; filename="log.txt"', "",
     "log line 1", "--ta--"],
    "textattach@example.com", "The body text comes first.")


def main():
    os.makedirs(OUT, exist_ok=True)
    for name in os.listdir(OUT):
        os.unlink(os.path.join(OUT, name))
    seen_names, seen_senders = set(), set()
    rows = ["# file\tresponse recipient (- none)\ttext in the forward (- none)"]
    for name, data, sender, text in messages:
        assert name not in seen_names, name
        assert sender == "-" or sender not in seen_senders, sender
        assert "\t" not in text and "\n" not in text
        seen_names.add(name)
        seen_senders.add(sender)
        file_name = name + ".eml"
        with open(os.path.join(OUT, file_name), "wb") as f:
            f.write(data)
        rows.append("%s\t%s\t%s" % (file_name, sender, text))
    with open(os.path.join(OUT, "expected.tsv"), "w", encoding="utf-8") as f:
        f.write("\n".join(rows) + "\n")
    print("%d messages" % len(messages))


if __name__ == "__main__":
    main()

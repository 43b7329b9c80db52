#!/usr/bin/env bash
# What goes into each copy of group mail, delivered to the scripted SMTP server and read back:
# an HTML letter filled in both parts (values escaped in the HTML), a member's own file,
# Reply-To and the unsubscribe headers, and a test to oneself that is no part of a run.
ctl=$1
here=$(cd "$(dirname "$0")/.." && pwd)
source "$(dirname "$0")/lib/harness.bash"
skip_without_smtp_server
queued() { find "$store/Outbox/new" "$store/Outbox/cur" -type f 2>/dev/null | wc -l; }

run stores
cp "$here/data/groups/MailLists.tlx" "$app/"
run setting Transport From "Ann Lee <ann@example.org>"
use_smtp_server
run setting Transport ListUnsubscribe "mailto:leave@example.org <https://example.org/u?a=<<Address>>>"

cat >"$work/letter.html" <<'EOF'
<html><head><style>p{color:red}</style><script>alert(1)</script></head><body>
<p>Dear <b>&lt;&lt;Prompt=First Name&gt;&gt;</b>,</p><ul><li>one</li><li>two</li></ul>
<p onclick="x()">See <a href="https://example.org/news">the news</a><img src="http://t/x.png"></p>
</body></html>
EOF
run new-letter --subject "Rich news" --reply-to "Desk <desk@example.org>" --html-file "$work/letter.html"
check "an HTML letter is made" rc_is 0
echo "for Tom" >"$work/report.txt"
printf 'address,First Name,Attachment\ntom@example.org,<b>Tom</b> & co,%s\nann@example.org,Ann,\n' \
    "$work/report.txt" >"$work/values.csv"

run mail Friends --letter "Rich news" --mode personal --values "$work/values.csv" --test me@example.org
check "a test is queued" rc_is 0
check "for the first member" out_has "test copy of tom@example.org's message queued"
check "no run journal is left" test -z "$(ls "$XDG_DATA_HOME/Tessary/Corvel/runs" 2>/dev/null | grep -v lock)"
run deliver
mkdir -p "$work/test" && mv "$work/received/"*.json "$work/test/"

printf 'address,Attachment\ntom@example.org,%s;%s\n' "$work/report.txt" "$work/gone.pdf" >"$work/missing.csv"
run mail Friends --letter "Rich news" --mode personal --values "$work/missing.csv"
check "a missing file stops the run" rc_is 1
check "naming it" err_has "gone.pdf"
check "nothing is queued" test "$(queued)" = 0

run mail Friends --letter "Rich news" --mode personal --values "$work/values.csv"
check "the run succeeds" rc_is 0
run mail Friends --letter "Rich news" --mode bcc
run deliver
check "every copy delivered" rc_is 0

check "the copies read back as they should" python3 - "$work/test" "$work/received" <<'PY'
import email, email.policy, glob, json, os, sys
def messages(folder):
    for path in sorted(glob.glob(os.path.join(folder, "*.json"))):
        record = json.load(open(path))
        yield record["rcpt_tos"], email.message_from_string(record["data"], policy=email.policy.default)
def parts(m):
    return tuple(m.get_body((kind,)).get_content().replace("\r\n", "\n") for kind in ("plain", "html"))

(to, test), = messages(sys.argv[1])
assert to == ["me@example.org"] and test["To"] == "me@example.org", (to, test["To"])
assert test["Subject"] == "[Test] Rich news", test["Subject"]
plain, html = parts(test)
assert "Dear <b>Tom</b> & co," in plain, plain
assert "&lt;b&gt;Tom&lt;/b&gt; &amp; co" in html and "<script" not in html and "onclick" not in html, html
assert "- one\n- two" in plain and "the news <https://example.org/news>" in plain, plain
assert [p.get_filename() for p in test.iter_attachments()] == ["report.txt"]

seen = {}
for to, m in messages(sys.argv[2]):
    assert m["Reply-To"] == "Desk <desk@example.org>", m["Reply-To"]
    assert m.get_content_type() in ("multipart/alternative", "multipart/mixed"), m.get_content_type()
    seen[m["To"] if "Bcc" not in str(to) else "bcc"] = m
    if len(to) == 1 and to[0] != "owner@example.org":
        address = to[0]
        assert m["List-Unsubscribe"] == ("<mailto:leave@example.org>, <https://example.org/u?a="
                                         + address.replace("@", "%40") + ">"), m["List-Unsubscribe"]
        assert m["List-Unsubscribe-Post"] == "List-Unsubscribe=One-Click"
        names = [p.get_filename() for p in m.iter_attachments()]
        assert names == (["report.txt"] if address == "tom@example.org" else []), (address, names)
        if address == "ann@example.org":
            assert "Dear Ann," in parts(m)[0]
    else:
        # A copy to several cannot name one member in the URL: it is left out.
        assert m["List-Unsubscribe"] == "<mailto:leave@example.org>", m["List-Unsubscribe"]
        assert m["List-Unsubscribe-Post"] is None
assert len(seen) >= 3, list(seen)
PY

finish

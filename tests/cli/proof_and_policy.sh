# Checks of the proof a run leaves and of the rules an administrator sets,
# sourced by cli_test.sh (its vz, sys, reset, host_c and mode).

# Receipts that hold: each way of tampering with a receipt of three runs
# names the broken line or run and exits 1; one of the earlier form says
# that it predates keyed chains; without the key, what could not be checked
# is said.
t_receipt_tampering() {
  reset
  local r_host=$host_c/t.jsonl r_sys out rc i; r_sys=$(sys t.jsonl)
  for i in 1 2 3; do
    echo "x$i" >"$host_c/f$i.txt"
    vz shred --yes --receipt "$r_sys" "$(sys f$i.txt)" </dev/null >/dev/null || return 1
    cp "$r_host" "$r_host.$i"
  done
  vz receipt verify "$r_sys" </dev/null | grep -q ": 9 lines in 3 runs, each as it was written" || return 1
  local rows=(
    "cut inside a run|head -n 4 R.3|line 4 is broken (run 2): run 2 (from line 4) was cut short"
    "cut at a run's end|cat R.2|run 3 is missing: .*cut short, or replaced by an older copy"
    "an older copy|cat R.1|run 2 is missing"
    "a run removed|sed 4,6d R.3|line 4 is broken (run 2): run 2 was removed"
    "reordered|{ sed -n 2p R.3; sed -n 1p R.3; sed 1,2d R.3; }|line 1 is broken (run 1)"
    "edited, hash recomputed|forge R.3 7|line 7 is broken (run 3): it was changed"
  )
  local row what cmd want
  for row in "${rows[@]}"; do
    IFS='|' read -r what cmd want <<<"$row"
    (cd "$host_c" && eval "${cmd//R./t.jsonl.}") >"$r_host" || return 1
    out=$(vz receipt verify "$r_sys" </dev/null); rc=$?
    [ $rc -eq 1 ] && echo "$out" | grep -q "$want" || { echo "$what: $rc: $out"; return 1; }
  done
  # The earlier form: plain hashes only.
  python3 - "$r_host" <<'PY'
import hashlib, json, sys
prev, out = "0" * 64, ""
for j in ({"receipt": "item", "passes": 1}, {"receipt": "run", "items": 1}):
    j["prev"] = prev
    body = json.dumps(j, separators=(",", ":"))[:-1]
    line = body + ',"hash":"' + hashlib.sha256(body.encode()).hexdigest() + '"}'
    prev, out = hashlib.sha256(line.encode()).hexdigest(), out + line + "\n"
open(sys.argv[1], "w").write(out)
PY
  out=$(vz receipt verify "$r_sys" </dev/null) && echo "$out" | grep -q "2 lines in 1 run.*predates keyed chains" || { echo "$out"; return 1; }
  # Without the key.
  cp "$r_host.3" "$r_host"
  if [ "$mode" = native ]; then
    out=$(XDG_CONFIG_HOME=$tmp/nokey vz receipt verify "$r_sys" </dev/null); rc=$?
    [ $rc -eq 1 ] && echo "$out" | grep -q "9 lines could not be checked: the key that made them (.*) is not on this machine" || { echo "$out"; return 1; }
  fi
}
# A receipt line changed and its chain value made again with plain SHA-256.
forge() {
  python3 - "$1" "$2" <<'PY'
import hashlib, json, sys
lines = open(sys.argv[1]).read().split("\n")
n = int(sys.argv[2]) - 1
j = json.loads(lines[n]); j["passes"] = 35; del j["chain"]
body = json.dumps(j, separators=(",", ":"))[:-1]
lines[n] = body + ',"chain":"' + hashlib.sha256(body.encode()).hexdigest() + '"}'
sys.stdout.write("\n".join(lines))
PY
}

# Machine policy: what it sets changes what settings shows and what a
# vaporize and a send do, and the user cannot change it. Natively the
# policy is a root-owned file (VAPORIZER_TEST_POLICY, under the same rules
# as /etc/vaporizer/policy.json); under Wine the machine's and the user's
# policy keys, one value in each.
set_policy() {  # NAME=VALUE...; a name after "user:" goes into the user's key under Wine
  if [ "$mode" = native ]; then
    local json="" kv
    for kv in "$@"; do json+="${json:+,}\"${kv%%=*}\":${kv#*=}"; json=${json/\"user:/\"}; done
    mkdir -p -m 755 "$tmp/policy" && echo "{$json}" >"$tmp/policy/policy.json" && chmod 644 "$tmp/policy/policy.json"
  else
    wine reg delete 'HKLM\Software\Policies\Vaporizer' /f /reg:64 >/dev/null 2>&1
    wine reg delete 'HKCU\Software\Policies\Vaporizer' /f >/dev/null 2>&1
    local kv name hive
    for kv in "$@"; do
      name=${kv%%=*} hive='HKLM\Software\Policies\Vaporizer'
      [ "${name#user:}" != "$name" ] && name=${name#user:} hive='HKCU\Software\Policies\Vaporizer'
      wine reg add "$hive" /v "$name" /t REG_DWORD /d "${kv#*=}" /f /reg:64 >/dev/null 2>&1 || return 1
    done
  fi
}
# In a subshell of its own: the policy named for the test goes with it.
t_policy() (
  reset
  local out rc r_host=$host_c/p.jsonl
  [ "$mode" = native ] && export VAPORIZER_TEST_POLICY=$tmp/policy/policy.json
  vz settings --passes 1 --verify off --progress on </dev/null >/dev/null || return 1
  set_policy MinimumPasses=3 FillByte=170 LogReceipts=0 user:Verify=1 user:Sending=2 || return 1
  out=$(vz settings </dev/null)
  echo "$out" | grep -q "^passes *3 *(policy) (overwrite passes per file; at least 3 by the policy in .* (MinimumPasses))" &&
    echo "$out" | grep -q "^verify *on *(policy) (.*; set by the policy in .* (Verify))" &&
    echo "$out" | grep -q "^fill *170 *(policy)" && echo "$out" | grep -q "^sending *at once *(policy)" || { echo "$out"; return 1; }
  out=$(vz settings --passes 2 </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "passes cannot be set below 3, the lowest allowed by the policy in" || { echo "$out"; return 1; }
  out=$(vz settings --verify off --progress off </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "set by the policy in .* (Verify) and cannot be changed" || { echo "$out"; return 1; }
  out=$(vz settings --system-log on </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && echo "$out" | grep -q "set by the policy in .* (LogReceipts) and cannot be changed" || { echo "$out"; return 1; }
  vz settings </dev/null | grep -q "^system-log *off *(policy)" || return 1
  vz settings </dev/null | grep -q "^progress *on" || return 1   # nothing was written
  vz settings --passes 5 </dev/null | grep -q "^passes *5 *(policy)" || return 1
  # A vaporize makes at least the policy's passes with its fill, and reads back.
  echo data >"$host_c/a.txt"
  vz shred --yes --passes 1 --fill 0 --receipt "$(sys p.jsonl)" "$(sys a.txt)" </dev/null >/dev/null || return 1
  grep -q '"receipt":"run".*"passes":3,"fill":170,"verify":true' "$r_host" || { cat "$r_host"; return 1; }
  # Sending vaporizes at once: nothing goes into the store.
  echo data >"$host_c/b.txt"
  vz send --yes "$(sys b.txt)" </dev/null >/dev/null; [ ! -e "$host_c/b.txt" ] && vz list </dev/null | grep -q "is empty" || return 1
  set_policy Sending=0
  echo data >"$host_c/b.txt"
  out=$(vz send --yes "$(sys b.txt)" </dev/null 2>&1); rc=$?
  [ $rc -eq 1 ] && [ -f "$host_c/b.txt" ] && echo "$out" | grep -q "sending is turned off by the policy in" || { echo "$out"; return 1; }
  if [ "$mode" = native ]; then
    # The file managers' "Send to Vaporizer" says no where the policy takes the file menu away.
    set_policy FileMenu=0
    mkdir -p "$tmp/bin" && ln -sf "$exe" "$tmp/bin/vaporizer"
    out=$(PATH=$tmp/bin:$PATH sh "$(dirname "$0")/../../packaging/linux/file-managers/file-manager-action" send \
      "$host_c/b.txt" 2>&1 </dev/null); rc=$?
    [ $rc -eq 1 ] && [ -f "$host_c/b.txt" ] && echo "$out" | grep -q "turned off by the machine policy (FileMenu)" || { echo "$out"; return 1; }
    # A policy that another account may change is ignored, and says why.
    set_policy MinimumPasses=3
    chmod 666 "$tmp/policy/policy.json"
    out=$(vz settings </dev/null)
    echo "$out" | grep -q "^warning: the policy .* is ignored: others may write to it (mode 0666)" &&
      echo "$out" | grep -q "^passes *5 *(overw" || { echo "$out"; return 1; }
    chmod 644 "$tmp/policy/policy.json"; chown 65534 "$tmp/policy/policy.json"
    vz settings </dev/null | grep -q "ignored: it belongs to user 65534, not to root" || return 1
    chown 0 "$tmp/policy/policy.json"; chmod 777 "$tmp/policy"
    vz settings </dev/null | grep -q "ignored: others may write to the folder $tmp/policy (mode 0777)" || return 1
  fi
)

# The administrative templates name exactly the rules the program reads:
# each policy's value, its key, its range or its two values, and every text
# and presentation they refer to.
t_policy_templates() {
  local rules; rules=$(vz policy --json </dev/null | sed -n '/^{/,/^}/p')
  python3 - "$rules" "$(dirname "$0")/../../packaging/windows/policy" <<'PY'
import json, re, sys, xml.etree.ElementTree as E
rules = {r["name"]: r for r in json.loads(sys.argv[1])["rules"]}
ns = {"p": "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"}
admx = E.parse(sys.argv[2] + "/vaporizer.admx").getroot()
adml = E.parse(sys.argv[2] + "/en-US/vaporizer.adml").getroot()
strings = {s.get("id") for s in adml.iterfind(".//p:stringTable/p:string", ns)}
shown = {p.get("id"): {c.get("refId") for c in p} for p in adml.iterfind(".//p:presentationTable/p:presentation", ns)}
policies = admx.findall(".//p:policies/p:policy", ns)
assert sorted(p.get("name") for p in policies) == sorted(rules), ([p.get("name") for p in policies], sorted(rules))
for p in policies:
    r = rules[p.get("name")]
    assert p.get("key") == "Software\\Policies\\Vaporizer" and p.get("class") == "Both", p.attrib
    for ref in re.findall(r"\$\(string\.([^)]*)\)", E.tostring(p, encoding="unicode")):
        assert ref in strings, ref
    if r["kind"] == "switch":
        assert p.get("valueName") == r["name"], p.attrib
        assert p.find("p:enabledValue/p:decimal", ns).get("value") == "1"
        assert p.find("p:disabledValue/p:decimal", ns).get("value") == "0"
        continue
    elements = list(p.find("p:elements", ns))
    assert len(elements) == 1 and elements[0].get("valueName") == r["name"], r["name"]
    e = elements[0]
    if e.tag.endswith("decimal"):
        assert (int(e.get("minValue")), int(e.get("maxValue"))) == (r["low"], r["high"]), (e.attrib, r)
    else:
        values = [int(v.get("value")) for v in e.iterfind("p:item/p:value/p:decimal", ns)]
        assert values == list(range(r["low"], r["high"] + 1)), (values, r)
    presentation = p.get("presentation")[len("$(presentation."):-1]
    assert shown.get(presentation) == {e.get("id")}, (presentation, shown.get(presentation))
PY
}

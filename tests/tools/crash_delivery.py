#!/usr/bin/python3
"""Kills `corvelctl deliver` at seeded random moments while it delivers, then lets it finish,
and checks what the recording server accepted against what the Outbox says.

Usage: crash_delivery.py CORVELCTL APP_PATH RECORD_DIR MESSAGES [KILLS] [SEED]
The Outbox holds MESSAGES messages with the subjects "Crash 0000", ... and the settings point at
the scripted server recording into RECORD_DIR. Exits 1 when a message was accepted twice, a
message not held was not accepted exactly once, or more were held than there were kills.
"""
import glob, json, random, re, signal, subprocess, sys, time

ctl, app, records, total = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
kills_wanted = int(sys.argv[5]) if len(sys.argv) > 5 else 5
seed = int(sys.argv[6]) if len(sys.argv) > 6 else 20261207
rng = random.Random(seed)
accepted = lambda: glob.glob(records + "/[0-9]*.json")
deliver = lambda: subprocess.Popen([ctl, "--app-path", app, "deliver"],
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

kills = 0
for _ in range(kills_wanted):
    before = len(accepted())
    if before >= total:
        break
    # Somewhere within the next batch or two; the poll is the server's own record.
    target = before + rng.randint(1, 150)
    process = deliver()
    while process.poll() is None and len(accepted()) < target:
        time.sleep(0.002)
    time.sleep(rng.uniform(0, 0.005))
    if process.poll() is None:
        process.send_signal(signal.SIGKILL)
        kills += 1
    process.wait()
deliver().wait()

counts = {}
for name in accepted():
    subject = re.search(r"^Subject: (Crash \d+)", json.load(open(name))["data"], re.M).group(1)
    counts[subject] = counts.get(subject, 0) + 1
listing = subprocess.run([ctl, "--app-path", app, "--json", "outbox"], capture_output=True,
                         text=True, check=True)
left = {row["Subject"]: row["State"] for row in json.loads(listing.stdout)}
held = [s for s, state in left.items() if state == "held"]
problems = ["%s left %s" % (s, state) for s, state in left.items() if state != "held"]
for subject in ("Crash %04d" % i for i in range(total)):
    n = counts.get(subject, 0)
    if n > 1 or (subject not in held and n != 1):
        problems.append("%s accepted %d times" % (subject, n))
if len(held) > kills:
    problems.append("%d held after %d kills" % (len(held), kills))
print("crash test: seed=%d messages=%d kills=%d held=%d" % (seed, total, kills, len(held)))
for problem in problems[:20]:
    print("FAIL: " + problem)
sys.exit(1 if problems or kills == 0 else 0)

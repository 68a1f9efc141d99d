#!/usr/bin/env python3
"""The figures of a soak run made by tools/soak.sh.

    soak_report.py RUN_FOLDER RATE

Reads fenwright.out (the run log with one "write cycle" line per cycle), gateway.out (the
simulator's counters every 10 s), memory.txt (VmRSS and VmHWM every 5 s), watch.out (the reader's
counts) and status.txt, and prints the report.
"""
import re
import statistics
import sys

CYCLE = re.compile(rb'^<Log_LV0> t=(\d+) write cycle (\d+) ms, receive thread waited at most '
                   rb'(\d+) us, (\d+) updates applied')
WROTE = re.compile(rb'^<Log_LV0> t=\d+ write cycle wrote (\d+) bytes: (.*)$')
SENT = re.compile(r'^after (\d+) ms: (\d+) frames sent, (\d+) feed bytes, (\d+) connections')
TOTAL = re.compile(r'^total: reads=(\d+) sound=(\d+) tail=(\d+) torn=(\d+) changed=(\d+) '
                   r'malformed=(\d+) unopened=(\d+)')


def seconds_of(hhmmss):
    return hhmmss // 10000 * 3600 + hhmmss // 100 % 100 * 60 + hhmmss % 100


def main():
    run, rate = sys.argv[1], int(sys.argv[2])
    cycles = []  # (second of the day, ms, wait us, applied)
    wrote = []  # (bytes, files written whole)
    with open(run + '/fenwright.out', 'rb') as f:
        for line in f:
            m = CYCLE.match(line)
            if m:
                cycles.append((seconds_of(int(m.group(1))), int(m.group(2)), int(m.group(3)),
                               int(m.group(4))))
            m = WROTE.match(line.rstrip(b'\r\n'))
            if m:
                wrote.append((int(m.group(1)), m.group(2).count(b' whole')))
    sent = []
    with open(run + '/gateway.out') as f:
        for line in f:
            m = SENT.match(line)
            if m:
                sent.append(tuple(int(g) for g in m.groups()))
    memory = []
    with open(run + '/memory.txt') as f:
        next(f)
        for line in f:
            s, rss, hwm = (int(x) for x in line.split())
            if rss > 0:
                memory.append((s, rss, hwm))
    watch = None
    with open(run + '/watch.out') as f:
        for line in f:
            m = TOTAL.match(line)
            if m:
                watch = [int(g) for g in m.groups()]
    status = open(run + '/status.txt').read().strip()

    print('== soak figures (%s)' % run)
    print('target rate: %d messages/s' % rate)
    if sent:
        ms, frames, _, connections = sent[-1]
        print('simulator: %d frames sent in %.0f s = %.0f messages/s, %d connection(s)' %
              (frames, ms / 1000.0, frames / (ms / 1000.0), connections))
    if len(cycles) >= 2:
        first, last = cycles[0], cycles[-1]
        span = last[0] - first[0]
        if span > 0:
            print('fenwright: %d updates applied in %d s = %.0f per second' %
                  (last[3] - first[3], span, (last[3] - first[3]) / span))
        # Per minute, to show that the rate holds.
        per_minute = []
        for c in cycles:
            if not per_minute or c[0] - per_minute[-1][0] >= 60:
                per_minute.append(c)
        rates = ['%.0f' % ((b[3] - a[3]) / (b[0] - a[0]))
                 for a, b in zip(per_minute, per_minute[1:]) if b[0] > a[0]]
        if rates:
            print('  per minute: %s' % ' '.join(rates))
    if cycles:
        times = [c[1] for c in cycles]
        steady = times[1:] if len(times) > 1 else times
        print('write cycles: %d, median %.0f ms, worst %d ms (the first: %d ms), p99 %d ms, '
              'worst/median %.2f' %
              (len(times), statistics.median(steady), max(steady), times[0],
               sorted(steady)[int(len(steady) * 0.99) - 1 if len(steady) > 1 else 0],
               max(steady) / max(statistics.median(steady), 1)))
        print('receive thread: longest wait for the market state %d us (median of the per-cycle '
              'longest %.0f us)' % (max(c[2] for c in cycles), statistics.median(c[2] for c in cycles)))
    if wrote:
        steady = [w[0] for w in wrote[1:]] or [wrote[0][0]]
        print('bytes written per cycle: median %.0f, p99 %d, worst %d (the first: %d); cycles with '
              'a file written whole: %d of %d' %
              (statistics.median(steady), sorted(steady)[int(len(steady) * 0.99) - 1
                                                          if len(steady) > 1 else 0],
               max(steady), wrote[0][0], sum(1 for w in wrote if w[1] > 0), len(wrote)))
    if memory:
        peak = max(m[2] for m in memory)
        after = [m for m in memory if m[0] >= 120] or memory
        print('memory: VmHWM %d kB; VmRSS %d kB at %d s, %d kB at the end (%d s): growth after the '
              'first two minutes %+d kB' %
              (peak, after[0][1], after[0][0], memory[-1][1], memory[-1][0],
               memory[-1][1] - after[0][1]))
    if watch:
        reads, sound, tail, torn, changed, malformed, unopened = watch
        print('concurrent reads: %d, sound %d, mid-rewrite %d (between write and cut %d, malformed '
              'inside the write %d, well formed but the file moved during the read %d), '
              'malformed %d, not opened %d' %
              (reads, sound, tail + torn + changed, tail, torn, changed, malformed, unopened))
    print(status)


if __name__ == '__main__':
    main()

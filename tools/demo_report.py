#!/usr/bin/env python3
"""Prints what a demo run produced: each DBF file with its record count and, for SJSHQ, a few rows.

    demo_report.py FOLDER

The files are read with python3-dbfread (SJSZS, whose records keep a 0x00 deletion flag that
dbfread skips, with python3-dbf when it is installed). Texts are GBK in the files.
"""
import os
import struct
import sys

FILES = ['SJSHQ.dbf', 'SJSXX.dbf', 'SJSXXN.dbf', 'SJSZS.dbf', 'SJSPHHQ.dbf', 'SJSZHHQ.dbf']


def header(path):
    with open(path, 'rb') as f:
        head = f.read(12)
    records, header_length, record_length = struct.unpack('<IHH', head[4:12])
    return records, header_length, record_length


def number(value, decimals):
    return '%.*f' % (decimals, value) if isinstance(value, (int, float)) else str(value)


def main():
    folder = sys.argv[1]
    import dbfread
    print('%-12s %8s %10s   %s' % ('file', 'records', 'bytes', 'read back'))
    for name in FILES:
        path = os.path.join(folder, name)
        if not os.path.exists(path):
            print('%-12s  missing' % name)
            continue
        records, header_length, record_length = header(path)
        size = os.path.getsize(path)
        if name == 'SJSZS.dbf':
            try:
                import dbf
                table = dbf.Table(path, codepage='cp936')
                table.open()
                read = len(table)
                table.close()
                reader = 'dbf'
            except ImportError:
                read, reader = 0, 'dbfread skips 0x00 flags'
        else:
            read = sum(1 for _ in dbfread.DBF(path, encoding='gbk', char_decode_errors='replace'))
            reader = 'dbfread'
        ok = 'ok' if size == header_length + records * record_length else 'SIZE MISMATCH'
        print('%-12s %8d %10d   %d records (%s), size %s' % (name, records, size, read, reader, ok))

    table = dbfread.DBF(os.path.join(folder, 'SJSHQ.dbf'), encoding='gbk', char_decode_errors='replace')
    rows = list(table)
    if rows:
        first = rows[0]
        print('\nSJSHQ record 0: date %s, market time %s, auction closed %s' %
              (first['HQZQJC'], first['HQCJBS'], first['HQCJSL']))
        print('\n%-7s %-10s %9s %9s %9s %12s %16s %9s %9s' %
              ('HQZQDM', 'HQZQJC', 'HQZRSP', 'HQJRKP', 'HQZJCJ', 'HQCJSL', 'HQCJJE', 'HQBJW1', 'HQSJW1'))
        shown = 0
        for row in rows[1:]:
            if not row['HQZQDM'] or not row['HQZJCJ']:
                continue
            print('%-7s %-10s %9s %9s %9s %12s %16s %9s %9s' %
                  (row['HQZQDM'], row['HQZQJC'], number(row['HQZRSP'], 3), number(row['HQJRKP'], 3),
                   number(row['HQZJCJ'], 3), number(row['HQCJSL'], 0), number(row['HQCJJE'], 3),
                   number(row['HQBJW1'], 3), number(row['HQSJW1'], 3)))
            shown += 1
            if shown == 8:
                break


if __name__ == '__main__':
    main()

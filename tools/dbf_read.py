#!/usr/bin/env python3
"""Prints a DBF file as plain text, read by a reader that we did not write.

    dbf_read.py dbfread FILE     read with python3-dbfread
    dbf_read.py dbf FILE         read with python3-dbf
    dbf_read.py check            exit 0 when both modules can be imported
    dbf_read.py --lenient READER FILE
                                 as the first two, read as the legacy consumers read: a double-byte
                                 character cut by the end of a field shows as '?', and a date field
                                 of blanks and zeros ("       0") is empty

Output, GBK bytes (the files' texts are GBK):
    reader=<name> records=<records the reader returned> fields=<NAME:TYPE:LENGTH:DECIMALS,...>
    then one line per record the reader returns, the values separated by '|':
    texts without their trailing blanks and NUL bytes, integers in decimal, numbers with
    decimals as Python's shortest repr of the float, nothing for an empty numeric field.
dbfread skips records whose deletion flag is neither a blank nor '*', so it returns no record
of a file that keeps 0x00 flags; python3-dbf returns them.

Exit status: 0; 2 when a reader module is missing (callers skip their check); 1 on other errors.
"""
import sys


def text_of(value):
    if value is None:
        return ''
    if isinstance(value, bool):
        return 'T' if value else 'F'
    if isinstance(value, int):
        return str(value)
    if isinstance(value, float):
        return repr(value)
    if isinstance(value, bytes):
        value = value.decode('gbk', errors='replace')
    return str(value).rstrip('\x00 ')


LENIENT = False


def read_with_dbfread(path):
    import dbfread
    table = dbfread.DBF(path, encoding='gbk', char_decode_errors='replace' if LENIENT else 'strict')
    fields = ['%s:%s:%d:%d' % (f.name.upper(), f.type, f.length, f.decimal_count) for f in table.fields]
    rows = [[text_of(record[f.name]) for f in table.fields] for record in table]
    return fields, rows


def read_with_dbf(path):
    import dbf
    table = dbf.Table(path, codepage='cp936')
    table.open(dbf.READ_ONLY)
    if LENIENT:
        make_lenient(table)
    try:
        fields = []
        for name in table.field_names:
            info = table.field_info(name)
            fields.append('%s:%s:%d:%d' % (name.upper(), chr(info.field_type) if isinstance(info.field_type, int)
                                           else str(info.field_type), info.length, info.decimal))
        rows = [[text_of(record[name]) for name in table.field_names] for record in table]
    finally:
        table.close()
    return fields, rows


def make_lenient(table):
    """Texts decoded with replacement; dates of blanks and zeros read as empty (python-dbf
    otherwise fails on them)."""
    import codecs
    gbk = codecs.getdecoder('gbk')
    meta = table._meta
    meta.decoder = lambda data, errors='strict': gbk(data, 'replace')
    meta.fieldtypes = dict(meta.fieldtypes)
    date_type = ord('D')
    date_kind = dict(meta.fieldtypes[date_type])
    retrieve_date = date_kind['Retrieve']

    def lenient_date(data, *rest):
        if data.tobytes().strip(b' 0') == b'':
            return None
        return retrieve_date(data, *rest)

    date_kind['Retrieve'] = lenient_date
    meta.fieldtypes[date_type] = date_kind


def main(argv):
    global LENIENT
    if len(argv) > 1 and argv[1] == '--lenient':
        LENIENT = True
        argv = argv[:1] + argv[2:]
    try:
        if len(argv) == 2 and argv[1] == 'check':
            import dbf  # noqa: F401
            import dbfread  # noqa: F401
            return 0
        if len(argv) != 3 or argv[1] not in ('dbfread', 'dbf'):
            sys.stderr.write(__doc__)
            return 1
        reader = read_with_dbfread if argv[1] == 'dbfread' else read_with_dbf
        fields, rows = reader(argv[2])
    except ImportError as error:
        sys.stderr.write('%s\n' % error)
        return 2
    out = sys.stdout.buffer
    out.write(('reader=%s records=%d fields=%s\n' % (argv[1], len(rows), ','.join(fields))).encode('gbk'))
    for row in rows:
        out.write(('|'.join(row) + '\n').encode('gbk', errors='replace' if LENIENT else 'strict'))
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))

"""Prints the sections of Windows programs side by side: the bytes each takes in the file (names
longer than eight characters are cut there, as the linker writes them), the headers and the files'
sizes.

usage: pe_sizes.py NAME=PROGRAM.exe ...     ("X before" followed by "X" adds the ratio of their sizes)
"""
import struct
import sys


def sections(path):
    """The program's sections in file order, as (name, bytes in the file), and the file's size."""
    with open(path, 'rb') as f:
        data = f.read()
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    if data[pe:pe + 4] != b'PE\0\0':
        sys.exit(f'{path}: not a PE file')
    count, = struct.unpack_from('<H', data, pe + 6)
    optional_size, = struct.unpack_from('<H', data, pe + 20)
    table = pe + 24 + optional_size
    found = []
    for i in range(count):
        name, _, _, raw_size = struct.unpack_from('<8sIII', data, table + 40 * i)
        found.append((name.rstrip(b'\0').decode('ascii', 'replace'), raw_size))
    return found, len(data)


def main():
    columns = []
    for arg in sys.argv[1:]:
        name, _, path = arg.partition('=')
        columns.append((name, *sections(path)))
    names = []
    for _, found, _ in columns:
        for section, _ in found:
            if section not in names:
                names.append(section)
    width = max(12, *(len(name) for name, _, _ in columns))
    print('section   ' + ''.join(f'{name:>{width + 2}}' for name, _, _ in columns))
    for section in names:
        cells = []
        for _, found, _ in columns:
            size = dict(found).get(section)
            cells.append(f'{size:>{width + 2},}' if size is not None else ' ' * (width + 2))
        print(f'{section:<10}' + ''.join(cells))
    headers = [total - sum(size for _, size in found) for _, found, total in columns]
    print(f'{"headers":<10}' + ''.join(f'{size:>{width + 2},}' for size in headers))
    print(f'{"file":<10}' + ''.join(f'{total:>{width + 2},}' for _, _, total in columns))
    # A column named "X before" is followed by X's column: the ratio of the two files.
    for (name, _, before), (now_name, _, now) in zip(columns, columns[1:]):
        if name.endswith(' before'):
            print(f'{now_name} ratio {now / before:.2f}')


if __name__ == '__main__':
    main()

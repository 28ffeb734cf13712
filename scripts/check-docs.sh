#!/usr/bin/env bash
# Keeps the README and the manual in docs/ whole and in step with the code:
#   - every relative link in README.md and docs/*.md resolves: the file is
#     there, and a #anchor names a heading of it as GitHub makes anchors;
#   - every option `tenvik-pack --help` prints is on docs/packer.md, and the
#     help text that page shows (where most options are explained, once) is
#     exactly what the packer prints;
#   - every build setting TENVIK_* that a CMakeLists.txt declares (a CACHE
#     variable or an option) has its row in the table of docs/settings.md.
# Usage: scripts/check-docs.sh PATH/TO/tenvik-pack (a native build of it).
set -uo pipefail
cd "$(dirname "$0")/.."

packer=${1:-}
if [ -z "$packer" ] || [ ! -x "$packer" ]; then
  echo "usage: scripts/check-docs.sh PATH/TO/tenvik-pack (a built packer; got '${packer}')" >&2
  exit 2
fi
help_text=$("$packer" --help) || { echo "check-docs: $packer --help failed" >&2; exit 1; }

TENVIK_HELP="$help_text" python3 - <<'EOF'
import os, re, sys, glob, subprocess

failures = []
def fail(msg):
    failures.append(msg)

def outside_fences(text):
    """The text with fenced code blocks blanked (line count kept)."""
    out, fence = [], None
    for line in text.split('\n'):
        m = re.match(r'^\s*(```+|~~~+)', line)
        if fence is None and m:
            fence = m.group(1)[0] * 3
            out.append('')
        elif fence is not None:
            if line.strip().startswith(fence):
                fence = None
            out.append('')
        else:
            out.append(line)
    return '\n'.join(out)

def github_anchors(path):
    """The anchors GitHub gives the headings of a Markdown file."""
    text = outside_fences(open(path, encoding='utf-8').read())
    seen, anchors = {}, set()
    for line in text.split('\n'):
        m = re.match(r'^#{1,6}\s+(.*?)\s*#*\s*$', line)
        if not m:
            continue
        title = re.sub(r'!?\[([^\]]*)\]\([^)]*\)', r'\1', m.group(1))   # links keep their text
        title = re.sub(r'<[^>]+>', '', title).replace('`', '').lower()
        slug = re.sub(r'[^\w\- ]', '', title).replace(' ', '-')
        n = seen.get(slug, 0)
        seen[slug] = n + 1
        anchors.add(slug if n == 0 else f'{slug}-{n}')
    return anchors

files = ['README.md'] + sorted(glob.glob('docs/*.md'))
anchor_cache = {}
links = 0
for f in files:
    text = outside_fences(open(f, encoding='utf-8').read())
    text = re.sub(r'`[^`\n]*`', lambda m: '' if '](' not in m.group(0) else m.group(0), text)
    for m in re.finditer(r'!?\[[^\]]*\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)', text):
        target = m.group(1)
        line = text.count('\n', 0, m.start()) + 1
        if re.match(r'^[a-z][a-z0-9+.-]*:', target, re.I):
            continue                      # http:, https:, mailto: are not ours to check
        links += 1
        path, _, anchor = target.partition('#')
        dest = os.path.normpath(os.path.join(os.path.dirname(f), path)) if path else f
        if not os.path.exists(dest):
            fail(f'{f}:{line}: link to {target}: {dest} does not exist')
            continue
        if anchor:
            if not dest.endswith('.md'):
                fail(f'{f}:{line}: link to {target}: an anchor into a file that is not Markdown')
                continue
            if dest not in anchor_cache:
                anchor_cache[dest] = github_anchors(dest)
            if anchor not in anchor_cache[dest]:
                fail(f'{f}:{line}: link to {target}: {dest} has no heading with the anchor #{anchor}')

# The packer's help text, as docs/packer.md shows it, and its options.
packer_page = open('docs/packer.md', encoding='utf-8').read()
help_text = os.environ['TENVIK_HELP'].rstrip('\n')
m = re.search(r'`tenvik-pack --help` prints:\s*\n```\n(.*?)\n```', packer_page, re.S)
if not m:
    fail('docs/packer.md: no "`tenvik-pack --help` prints:" block followed by the help text')
else:
    if m.group(1) != help_text:
        import difflib
        diff = '\n'.join(difflib.unified_diff(m.group(1).split('\n'), help_text.split('\n'),
                                              'docs/packer.md', 'tenvik-pack --help', lineterm='', n=0))
        fail('docs/packer.md: the help text shown differs from `tenvik-pack --help`:\n' + diff)
options = sorted(set(re.findall(r'(?<![\w-])--[a-z][a-z-]*', help_text)))
for option in options:
    if not re.search(r'(?<![\w-])' + re.escape(option) + r'(?![\w-])', packer_page):
        fail(f'docs/packer.md: the option {option} of `tenvik-pack --help` is not on the page')

# Every build setting in the settings table.
settings_page = open('docs/settings.md', encoding='utf-8').read()
rows = set(re.findall(r'^\| `(TENVIK_[A-Z0-9_]+)` \|', settings_page, re.M))
declared = {}
for cmake in subprocess.run(['git', 'ls-files', '*CMakeLists.txt', 'CMakeLists.txt'],
                            capture_output=True, text=True, check=True).stdout.split():
    body = open(cmake, encoding='utf-8').read()
    for name in re.findall(r'\bset\(\s*(TENVIK_[A-Z0-9_]+)\b[^)]*\bCACHE\b', body) + \
                re.findall(r'\boption\(\s*(TENVIK_[A-Z0-9_]+)\b', body):
        declared.setdefault(name, cmake)
for name, cmake in sorted(declared.items()):
    if name not in rows:
        fail(f'docs/settings.md: the build setting {name} ({cmake}) has no row in the settings table')

for msg in failures:
    print('check-docs: ' + msg, file=sys.stderr)
if failures:
    print(f'check-docs: {len(failures)} problem(s)', file=sys.stderr)
    sys.exit(1)
print(f'check-docs: {links} relative links in {len(files)} files resolve; the {len(options)} options '
      f'of tenvik-pack --help are in docs/packer.md; the {len(declared)} build settings are in docs/settings.md')
EOF

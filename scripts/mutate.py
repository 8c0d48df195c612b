#!/usr/bin/env python3
"""Mutation sampler: how many small injected faults do the tests catch?

Picks N mutants with a seed among the logic lines of the files named (or of every .cpp under a
folder named; a bare name like LineMatcher finds src/**/LineMatcher.cpp): flipped comparisons,
bounds shifted by one, dropped statements, negated conditions, swapped && / || and true / false.
Each mutant goes into a scratch copy of the tree (build/mutate/tree; the working files are never
touched), the test executable of the file's library is rebuilt incrementally and run with a
time limit. Prints every mutant's fate, the kill rate and every survivor as `file:line: change`.

Mutants that no behaviour can tell apart from the original are listed in an equivalents file, one
`file:line: change` per line as printed here (the line number may drift; file and change must
match); they are counted out. Mutants that do not compile are counted out too.

    scripts/mutate.py -n 40 --seed 7 src/Workspace/EditorDocument.cpp src/API LineMatcher

Run with the build exports of the project (ccache) set: the scratch build uses the flags of
`make test`, so its first build comes from the cache.
"""
import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent

# Library folder -> test executable, longest prefix first.
TESTS = [
    ("src/Platform/", "tests_platform"),
    ("src/Editor/", "tests_editor"),
    ("src/Workspace/", "tests_workspace"),
    ("src/Git/", "tests_git"),
    ("src/API/", "tests_api"),
    ("src/UI/", "tests_ui"),
    ("src/Views/", "tests_views"),
    ("src/App/", "tests_app"),
    ("src/", "tests_state"),
    ("SyntaxTree/", "tests_syntaxtree"),
]

TEST_ENV = {
    "QT_QPA_PLATFORM": "offscreen",
    "ASAN_OPTIONS": "detect_leaks=0:abort_on_error=0:detect_stack_use_after_return=0",
    "UBSAN_OPTIONS": "print_stacktrace=0:halt_on_error=1",
}

CONFIGURE = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug", "-DBRIMEL_SANITIZE=ON",
             "-DCMAKE_CXX_FLAGS_DEBUG=-O1 -g", "-DCMAKE_C_FLAGS_DEBUG=-O1 -g"]

COMPARISONS = {" == ": " != ", " != ": " == ", " < ": " >= ", " >= ": " < ", " > ": " <= ", " <= ": " > "}
BOUNDS = {" < ": " <= ", " <= ": " < ", " > ": " >= ", " >= ": " > "}
SKIP_LINE = re.compile(r"^\s*(#|//|\*|/\*|namespace\b|using\b|template\b|case\b.*:$|default:|public:|private:|"
                       r"protected:|signals:|[{}();,]*$)")


def mask(line):
    """The line with string and character literals and a trailing comment blanked out."""
    out, i, quote = [], 0, None
    while i < len(line):
        c = line[i]
        if quote:
            if c == "\\":
                out.append("  ")
                i += 2
                continue
            out.append(" " if c != quote else c)
            if c == quote:
                quote = None
        elif c in "\"'":
            quote = c
            out.append(c)
        elif line.startswith("//", i):
            out.append(" " * (len(line) - i))
            break
        else:
            out.append(c)
        i += 1
    return "".join(out)[: len(line)]


def mutants_of(rel, text):
    """Every (line number, new line, description) for one file."""
    found = []
    in_block_comment = False
    previous = ";"
    for number, line in enumerate(text.split("\n"), 1):
        ends_statement = previous.rstrip()[-1:] in (";", "{", "}", ")", ":", "")
        if line.strip():
            previous = mask(line)
        stripped = line.strip()
        if in_block_comment:
            in_block_comment = "*/" not in line
            continue
        if stripped.startswith("/*"):
            in_block_comment = "*/" not in line
            continue
        if not stripped or SKIP_LINE.match(line):
            continue
        m = mask(line)

        def add(start, end, replacement):
            new = line[:start] + replacement + line[end:]
            found.append((number, new, f"{stripped} => {new.strip()}"))

        for table in (COMPARISONS, BOUNDS):
            for op, repl in table.items():
                for hit in re.finditer(re.escape(op), m):
                    add(hit.start(), hit.end(), repl)
        for hit in re.finditer(r" (&&|\|\|) ", m):
            add(hit.start(), hit.end(), " || " if hit.group(1) == "&&" else " && ")
        for hit in re.finditer(r"\b(true|false)\b", m):
            add(hit.start(), hit.end(), "false" if hit.group(1) == "true" else "true")
        for hit in re.finditer(r"(?<![\w.])([0-9]+)(?![\w.])", m):
            add(hit.start(), hit.end(), str(int(hit.group(1)) + 1))
        for hit in re.finditer(r"\b(if|while) \(", m):
            # The condition runs to the parenthesis that closes this one.
            depth, j = 0, hit.end() - 1
            while j < len(m):
                depth += {"(": 1, ")": -1}.get(m[j], 0)
                if depth == 0:
                    break
                j += 1
            if j < len(m):
                add(hit.end() - 1, j + 1, "(!" + line[hit.end() - 1: j + 1] + ")")
        declaration = re.match(r"^(const\s+)?[\w:<>,]+[\s*&]+\w+\s*(=|\{|\(|;|\[)", m.strip()) and \
            not re.match(r"^(emit|delete|return|else)\s", m.strip())
        if stripped.endswith(";") and ends_statement and not declaration and \
                not stripped.startswith(("return", "break", "continue")):
            found.append((number, re.sub(r"\S.*", ";", line), f"{stripped} => (dropped)"))
    return found


def resolve(names):
    files = []
    for name in names:
        path = (ROOT / name)
        if path.is_dir():
            files += sorted(p for p in path.rglob("*.cpp"))
        elif path.is_file():
            files.append(path)
        else:
            hits = sorted(p for d in ("src", "SyntaxTree") for p in (ROOT / d).rglob(f"{name}.cpp"))
            if not hits:
                sys.exit(f"mutate: nothing named {name}")
            files += hits
    return [f.relative_to(ROOT).as_posix() for f in files]


def test_of(rel):
    for prefix, exe in TESTS:
        if rel.startswith(prefix) and (prefix != "src/" or "/" not in rel[len(prefix):]):
            return exe
    sys.exit(f"mutate: no test executable covers {rel}")


def suites_near(rel):
    """A gtest filter naming the suites in the tests folder that mirrors the file's own, if that
    folder is below the executable's root (the Views tests are many; a Navigation file needs only
    its own)."""
    folder = Path(rel).parent
    parts = folder.parts[1:] if folder.parts[0] == "src" else folder.parts
    if len(parts) < 2:
        return None
    names = set()
    for test in (ROOT / "tests" / Path(*parts)).glob("*.cpp"):
        names.update(re.findall(r"^TEST(?:_F|_P)?\((\w+),", test.read_text(), re.M))
    return ":".join(sorted(f"{n}.*:*/{n}.*" for n in names)) or None


def run(cmd, cwd, timeout=None, env=None):
    try:
        p = subprocess.run(cmd, cwd=cwd, timeout=timeout, env=env, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True, errors="replace")
        return p.returncode, p.stdout
    except subprocess.TimeoutExpired:
        return "timeout", ""


def sync(source, target):
    """Makes target a copy of source (without build/ and .git) by content, not time: a file that
    differs is written anew and so rebuilt, the rest is left alone."""
    seen = set()
    for folder, dirs, names in os.walk(source):
        here = Path(folder)
        rel_dir = here.relative_to(source)
        dirs[:] = [d for d in dirs if d != ".git" and not (rel_dir == Path(".") and d == "build")]
        (target / rel_dir).mkdir(parents=True, exist_ok=True)
        for name in names + [d for d in dirs if (here / d).is_symlink()]:
            src, dst = here / name, target / rel_dir / name
            seen.add(dst)
            if src.is_symlink():
                if not dst.is_symlink() or os.readlink(dst) != os.readlink(src):
                    if dst.is_symlink() or dst.exists():
                        dst.unlink()
                    os.symlink(os.readlink(src), dst)
                continue
            if dst.is_symlink():
                dst.unlink()
            if not dst.exists() or dst.stat().st_size != src.stat().st_size or dst.read_bytes() != src.read_bytes():
                shutil.copyfile(src, dst)
                shutil.copymode(src, dst)
        dirs[:] = [d for d in dirs if not (here / d).is_symlink()]
    for folder, dirs, names in os.walk(target):
        here = Path(folder)
        if here == target:
            dirs[:] = [d for d in dirs if d != "build"]
        for name in names:
            if here / name not in seen:
                (here / name).unlink()


def write_fresh(path, text):
    """Writes the file and makes its time newer than anything built from it."""
    path.write_text(text)
    now = time.time()
    os.utime(path, (now, now + 1))


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("paths", nargs="+", help="files, folders or bare file names")
    ap.add_argument("-n", type=int, default=20, help="mutants to sample (default 20)")
    ap.add_argument("--seed", type=int, default=None, help="sampling seed (default: random, printed)")
    ap.add_argument("--equivalents", type=Path, default=ROOT / "scripts/mutate-equivalents.txt")
    ap.add_argument("--scratch", type=Path, default=ROOT / "build/mutate/tree")
    ap.add_argument("--jobs", type=int, default=3)
    ap.add_argument("--timeout", type=int, default=None, help="seconds per test run (default: 3x the clean run)")
    ap.add_argument("--filter", metavar="GTEST_FILTER",
                    help="run only these tests for every mutant (default: the suites beside the file, else all)")
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--tests-from", metavar="REV", help="use the tests/ folder as it is in this commit")
    ap.add_argument("--replay", type=Path, metavar="LOG",
                    help="run the mutants named `file:line: change` in a file (e.g. an earlier output) instead")
    args = ap.parse_args()

    seed = args.seed if args.seed is not None else random.randrange(1 << 30)
    files = resolve(args.paths)
    candidates = []
    for rel in files:
        candidates += [(rel, *m) for m in mutants_of(rel, (ROOT / rel).read_text())]
    rng = random.Random(seed)
    # A shuffled order: the first N that compile are the sample.
    sample = rng.sample(candidates, len(candidates))
    if args.replay:
        wanted = []
        for line in args.replay.read_text().splitlines():
            m = re.search(r"((?:src|SyntaxTree)/\S+\.cpp):(\d+): (.*)$", line)
            if not m or "(equivalent)" in line:
                continue
            # The same change may stand on several lines: the nearest to the line named.
            same = [c for c in candidates if c[0] == m.group(1) and c[3] == m.group(3)]
            if same:
                best = min(same, key=lambda c: abs(c[1] - int(m.group(2))))
                if best not in wanted:
                    wanted.append(best)
        sample = wanted
        args.n = len(wanted)
    print(f"mutate: seed {seed}, {args.n} of {len(candidates)} mutants in {len(files)} files", flush=True)

    equivalents = set()
    if args.equivalents.exists():
        for line in args.equivalents.read_text().splitlines():
            m = re.match(r"^([^:#\s]+):\d+: (.*)$", line.strip())
            if m:
                equivalents.add((m.group(1), m.group(2)))
    if args.list:
        for rel, number, _, change in sample[: args.n]:
            tag = " (equivalent)" if (rel, change) in equivalents else ""
            print(f"{rel}:{number}: {change}{tag}")
        return 0

    # The scratch copy: the tree as it is now, times kept so that the build stays incremental.
    scratch = args.scratch.resolve()
    scratch.mkdir(parents=True, exist_ok=True)
    sync(ROOT, scratch)
    if args.tests_from:
        code, out = run(["git", "ls-tree", "-r", "-z", "--name-only", args.tests_from, "tests/"], ROOT)
        if code != 0:
            sys.exit(f"mutate: no tests in {args.tests_from}\n{out}")
        keep = set(filter(None, out.split("\0")))
        for path in (scratch / "tests").rglob("*"):
            if path.is_file() and path.relative_to(scratch).as_posix() not in keep:
                path.unlink()
        for rel in keep:
            old = subprocess.run(["git", "show", f"{args.tests_from}:{rel}"], cwd=ROOT, stdout=subprocess.PIPE).stdout
            target = scratch / rel
            if not target.exists() or target.read_bytes() != old:
                target.parent.mkdir(parents=True, exist_ok=True)
                target.write_bytes(old)
    build = scratch / "build/test"
    if not (build / "build.ninja").exists():
        code, out = run(["cmake", "-S", str(scratch), "-B", str(build)] + CONFIGURE, scratch)
        if code != 0:
            sys.exit(f"mutate: configuring failed\n{out}")

    env = dict(os.environ, **TEST_ENV)
    # Each executable (with the filter of the files' own tests) must pass clean; its time sets the limit.
    near_of = (lambda rel: args.filter) if args.filter else suites_near
    runs = sorted({(test_of(rel), near_of(rel)) for rel in files}, key=lambda r: (r[0], r[1] or ""))
    limits = {}
    for exe, near in runs:
        code, out = run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target", exe], scratch)
        if code != 0:
            sys.exit(f"mutate: building {exe} failed\n{out[-3000:]}")
        started = time.time()
        code, out = run([str(build / "tests" / exe), "--gtest_brief=1"] + ([f"--gtest_filter={near}"] if near else []),
                        build, env=env)
        if code != 0:
            sys.exit(f"mutate: {exe} fails without any mutant; fix that first\n{out[-3000:]}")
        limits[(exe, near)] = args.timeout or int(3 * (time.time() - started)) + 30
        print(f"mutate: {exe}{' (its own suites)' if near else ''} passes clean in {time.time() - started:.0f} s",
              flush=True)

    killed, survivors, counted_out, stillborn = 0, [], [], []
    for rel, number, new_line, change in sample:
        if killed + len(survivors) + len(counted_out) >= args.n:
            break
        index = killed + len(survivors) + len(counted_out) + 1
        where = f"{rel}:{number}: {change}"
        if (rel, change) in equivalents:
            counted_out.append(where)
            print(f"[{index}/{args.n}] equivalent  {where}", flush=True)
            continue
        path = scratch / rel
        original = (ROOT / rel).read_text()
        lines = original.split("\n")
        lines[number - 1] = new_line
        exe = test_of(rel)
        try:
            write_fresh(path, "\n".join(lines))
            code, out = run(["cmake", "--build", str(build), "-j", str(args.jobs), "--target", exe], scratch)
            if code != 0:
                fate = "stillborn"
                stillborn.append(where)
            else:
                near = near_of(rel)
                code, out = run([str(build / "tests" / exe), "--gtest_brief=1", "--gtest_fail_fast"] +
                                ([f"--gtest_filter={near}"] if near else []), build,
                                timeout=limits[(exe, near)], env=env)
                if code == 0:
                    fate = "SURVIVED"
                    survivors.append(where)
                else:
                    fate = "killed" if code != "timeout" else "killed (timeout)"
                    killed += 1
        finally:
            write_fresh(path, original)
        print(f"[{index if fate != 'stillborn' else '-'}/{args.n}] {fate:<10} {where}", flush=True)

    counted = killed + len(survivors)
    rate = 100.0 * killed / counted if counted else 100.0
    print(f"\nmutate: seed {seed}: {killed} of {counted} killed ({rate:.1f}%); "
          f"{len(counted_out)} equivalent and {len(stillborn)} not compiling counted out")
    for where in counted_out:
        print(f"equivalent: {where}")
    for where in survivors:
        print(f"survivor: {where}")
    return 0


if __name__ == "__main__":
    sys.exit(main())

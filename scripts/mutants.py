#!/usr/bin/env python3
"""Mutation testing for the library and the engine: how many planted faults do the tests catch?

One mutant at a time is written into a .cpp file under src/ or engines/ (a comparison flipped,
&& and || swapped, an arithmetic operator replaced, an integer bumped by one, a call statement
dropped, an if negated, a void function returning at once), the build folder of this tool
(build-mutants: RelWithDebInfo, tests on, no sanitizers, warnings not errors) is rebuilt
incrementally, and the tests that cover the file run, the first failure ending the run. Each
mutant ends as killed (a test failed), survived (every test passed), uncompilable or timeout.
The file is always put back, also on Ctrl-C: a copy waits in <build>/mutants-backup until it is.

A fixed seed picks the sample, spread over the files by size, so two runs on the same sources
try the same mutants and their kill rates compare (the second one compiles from ccache).

  scripts/mutants.py                       300 mutants, seed 1, report in build-mutants/
  scripts/mutants.py --files 'src/orvcommon/core/*.cpp' --sample 10 --list
  scripts/mutants.py --compare before.json --only-killed   after a cut of the tests
"""
import argparse, bisect, fnmatch, json, os, random, re, selectors, shutil, signal, subprocess, sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
KEYWORDS = {"return", "if", "while", "for", "switch", "throw", "delete", "case", "else", "do",
            "sizeof", "static_assert", "new", "co_return", "co_await", "co_yield", "goto"}
# Which tests cover a source: a folder of tests/ or one of its files (folder/name without
# _test.cpp); the first pattern that matches wins. Other sources get the tests/ folder of their
# own folder's name, and a source with neither gets every test.
TEST_MAP = [
    ("src/orvcommon/base/*", ["base", "core"]),
    ("src/orvcommon/server/*", ["server", "tools/orv_tables", "tools/orv_sweep"]),
    ("src/orvcommon/operations/*", ["files", "functions"]),
    ("src/orvcommon/core/registry_as_text*", ["results", "registry"]),
    ("src/orvcommon/platform/*report*", ["reporting"]),
    ("src/orvcommon/platform/*inet*", ["inet"]),
    ("src/orvcommon/platform/*locale*", ["core"]),
    ("src/orvcommon/platform/*pdf_engine*", ["functions/pdf"]),
    ("src/orvcommon/platform/*settings*", ["platform", "registry"]),
    ("src/orvcommon/platform/*reg*", ["platform", "registry"]),
    ("src/orvcommon/platform/*eventlog*", ["results"]),
    ("src/orvcommon/platform/*module*", ["results"]),
    ("src/orvcommon/platform/*", ["platform", "files"]),
    ("engines/*", ["engines", "functions/pdf"]),
]


# ---------------------------------------------------------------- finding mutants

def mask(text):
    """The text with everything that is not code blanked, offsets and newlines kept: comments
    and preprocessor lines become spaces, string and char literals keep their quotes around x's,
    and code inside #if blocks (which may not be compiled here) becomes spaces."""
    out, i, n, line_start, depth = list(text), 0, len(text), True, 0

    def fill(a, b, ch):
        for k in range(a, b):
            if out[k] != "\n":
                out[k] = ch

    while i < n:
        c = text[i]
        if c == "\n":
            line_start = True
            i += 1
            continue
        if line_start and c == "#":
            k = i
            while True:
                k = text.find("\n", k)
                k = n if k < 0 else k
                if k < n and text[k - 1] == "\\":
                    k += 1
                    continue
                break
            directive = text[i + 1:k].split()
            word = directive[0] if directive else ""
            if word in ("if", "ifdef", "ifndef"):
                depth += 1
            elif word == "endif":
                depth = max(0, depth - 1)
            fill(i, k, " ")
            i = k
            continue
        if not c.isspace():
            line_start = False
        start = i
        if text.startswith("//", i):
            i = text.find("\n", i)
            i = n if i < 0 else i
            fill(start, i, " ")
        elif text.startswith("/*", i):
            i = text.find("*/", i + 2)
            i = n if i < 0 else i + 2
            fill(start, i, " ")
        elif c == '"' and i > 0 and text[i - 1] == "R":
            m = re.compile(r'"([^()\\\s]{0,16})\(').match(text, i)
            end = text.find(")" + m.group(1) + '"', i) if m else -1
            i = n if end < 0 else end + len(m.group(1)) + 2
            fill(start + 1, i - 1, "x")
        elif c == '"' or (c == "'" and not digit_separator(text, i)):
            i += 1
            while i < n and text[i] != c and text[i] != "\n":
                i += 2 if text[i] == "\\" else 1
            fill(start + 1, i, "x")
            i += 1
        else:
            if depth:
                fill(i, i + 1, " ")
            i += 1
    return "".join(out)


def digit_separator(text, i):
    return text[i - 1:i].isdigit() and text[i + 1:i + 2].isalnum()  # 1'000'000


def matching_paren(code, i):
    """Offset of the ')' that closes the '(' at i, or -1."""
    level = 0
    for k in range(i, len(code)):
        if code[k] == "(":
            level += 1
        elif code[k] == ")":
            level -= 1
            if level == 0:
                return k
    return -1


SWAPS = {"<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
         "&&": "||", "||": "&&", "+": "-", "-": "+", "*": "/", "/": "*"}
KIND = {"<": "comparison", "<=": "comparison", ">": "comparison", ">=": "comparison",
        "==": "comparison", "!=": "comparison", "&&": "logical", "||": "logical",
        "+": "arithmetic", "-": "arithmetic", "*": "arithmetic", "/": "arithmetic"}
# Binary operators are written with a space on each side (clang-format), which keeps out
# template brackets, ->, <<, >>, operator<, unary minus, pointers and references.
BINARY = re.compile(r"(?<=\s)(<=|>=|==|!=|&&|\|\||<|>|\+|-|\*|/)(?=\s)")
INTEGER = re.compile(r"(?<![\w.'])\d+(?![\w.'])")
IF = re.compile(r"\bif\s*\(")
VOID_FUNCTION = re.compile(r"(?m)^[ \t]*(?:static\s+|inline\s+)*void\s+[\w:~]+\s*\(")
AFTER_PARAMS = re.compile(r"\s*(?:(?:const|noexcept|override|final)\s*)*\{")
CALL_STATEMENT = re.compile(r"^(?:[A-Za-z_]\w*(?:::|\.|->))*[A-Za-z_]\w*\s*\(.*\);$")


def find_mutants(path, text):
    code = mask(text)
    lines = [0] + [m.end() for m in re.finditer("\n", text)]
    found = []

    def add(kind, start, end, replacement):
        found.append({"file": path, "line": bisect.bisect_right(lines, start), "offset": start,
                      "kind": kind, "original": text[start:end], "replacement": replacement})

    for m in BINARY.finditer(code):
        op = m.group(1)
        if op in "+/" and '"' in (code[:m.start()].rstrip()[-1:], code[m.end():].lstrip()[:1]):
            continue  # joining text or a path: the other operator would not compile
        if code[:m.start()].rstrip().endswith("operator"):
            continue
        add(KIND[op], m.start(), m.end(), SWAPS[op])
    for m in INTEGER.finditer(code):
        add("literal", m.start(), m.end(), str(int(m.group()) + 1))
    for m in IF.finditer(code):
        close = matching_paren(code, m.end() - 1)
        cond = code[m.end():close]
        if close < 0 or ";" in cond or re.match(r"\s*(auto|const)\b", cond):
            continue  # if with an initialiser or a declaration
        add("negate-if", m.end() - 1, close + 1, "(!" + text[m.end() - 1:close + 1] + ")")
    for m in VOID_FUNCTION.finditer(code):
        close = matching_paren(code, m.end() - 1)
        body = AFTER_PARAMS.match(code, close + 1) if close > 0 else None
        if body and not code[body.end():].lstrip().startswith("}"):
            add("return-early", body.end(), body.end(), " return;")
    previous = ";"
    for number, line in enumerate(code.split("\n")):
        stripped = line.strip()
        m = CALL_STATEMENT.match(stripped)
        if (m and re.match(r"\w+", stripped).group() not in KEYWORDS
                and stripped.count("(") == stripped.count(")") and previous[-1:] in ";{}):"):
            start = lines[number] + line.index(stripped)
            add("drop-call", start, start + len(stripped), ";")
        previous = stripped or previous
    found.sort(key=lambda mu: (mu["offset"], mu["kind"]))
    return found


def read(path):
    return (ROOT / path).read_bytes().decode("utf-8")


def apply(text, mu):
    end = mu["offset"] + len(mu["original"])
    assert text[mu["offset"]:end] == mu["original"], "the file changed under the mutant"
    return text[:mu["offset"]] + mu["replacement"] + text[end:]


def sample(files, n, seed):
    """n mutants over the files in proportion to their size (largest remainders first), the
    same ones for the same seed and sources."""
    mutants = {f: find_mutants(f, read(f)) for f in files}
    sizes = {f: read(f).count("\n") for f in files if mutants[f]}
    total = sum(sizes.values()) or 1
    share = {f: n * s / total for f, s in sizes.items()}
    quota = {f: min(int(share[f]), len(mutants[f])) for f in sizes}
    for f in sorted(sizes, key=lambda f: (int(share[f]) - share[f], f)):
        if sum(quota.values()) >= n:
            break
        if quota[f] < len(mutants[f]):
            quota[f] += 1
    picked = []
    for f in sorted(quota):
        chosen = random.Random(f"{seed}:{f}").sample(mutants[f], quota[f])
        picked += sorted(chosen, key=lambda mu: mu["offset"])
    return picked, sum(len(m) for m in mutants.values())


def describe(mu):
    if mu["kind"] == "drop-call":
        return " ".join(f"drop `{mu['original']}`".split())
    if mu["kind"] == "return-early":
        return "return at the start of the function"
    return " ".join(f"`{mu['original']}` -> `{mu['replacement']}`".split())


# ---------------------------------------------------------------- building and testing

def run(cmd, timeout=None, stop_at=None):
    """Runs cmd in its own process group, killed whole on timeout or as soon as its output
    matches stop_at; (returncode, or None on timeout, and the output)."""
    proc = subprocess.Popen(cmd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            start_new_session=True)
    deadline = time.monotonic() + timeout if timeout else None
    out = ""
    try:
        with selectors.DefaultSelector() as sel:
            sel.register(proc.stdout, selectors.EVENT_READ)
            while True:
                left = None if deadline is None else deadline - time.monotonic()
                if left is not None and left <= 0:
                    os.killpg(proc.pid, signal.SIGKILL)
                    proc.wait()
                    return None, out
                if not sel.select(left):
                    continue
                chunk = os.read(proc.stdout.fileno(), 65536).decode(errors="replace")
                if not chunk:
                    return proc.wait(), out
                out += chunk
                if stop_at and re.search(stop_at, out[-len(chunk) - 200:]):
                    os.killpg(proc.pid, signal.SIGKILL)  # no need to wait for the slow tests
                    proc.wait()
                    return 1, out
    except BaseException:
        os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
        raise
    finally:
        proc.stdout.close()


def configure(build):
    cmd = ["cmake", "-S", str(ROOT), "-B", str(build), "-DCMAKE_BUILD_TYPE=RelWithDebInfo",
           "-DORV_BUILD_TESTS=ON", "-DORV_SANITIZE=OFF", "-DORV_WERROR=OFF"]
    if shutil.which("ninja"):
        cmd += ["-G", "Ninja"]
    if shutil.which("ld.lld"):  # links the big test program in a fraction of the time
        cmd += [f"-DCMAKE_{kind}_LINKER_FLAGS=-fuse-ld=lld" for kind in ("EXE", "SHARED", "MODULE")]
    code, out = run(cmd)
    if code != 0:
        sys.exit(f"mutants: cannot configure {build}:\n{out}")


def build_tests(build, jobs, timeout):
    return run(["cmake", "--build", str(build), "-j", str(jobs), "--target", "orv_tests"],
               timeout=timeout)


def test_suites():
    """The GoogleTest suites of each tests/ folder and of each test file (folder/name)."""
    suites = {}
    for test in sorted((ROOT / "tests").glob("*/*_test.cpp")):
        names = set(re.findall(r"^(?:TEST|TEST_F|TEST_P|TYPED_TEST)\(\s*(\w+)", read(test), re.M))
        suites.setdefault(test.parent.name, set()).update(names)
        suites[f"{test.parent.name}/{test.name[:-len('_test.cpp')]}"] = names
    return suites


def tests_for(paths, suites):
    """The ctest -R regex of the tests that cover the paths (None: every test). ctest names
    the cases Suite.Case, or Prefix/Suite.Case/Parameter."""
    names = set()
    for path in paths:
        parts = Path(path).parts
        covering = [parts[0] if parts[0] == "engines" else parts[2]]
        covering = next((t for glob, t in TEST_MAP if fnmatch.fnmatch(path, glob)), covering)
        found = set().union(*(suites.get(t, set()) for t in covering))
        if not found:
            return None
        names |= found
    return "(^|/)(" + "|".join(sorted(names)) + r")\."


def run_tests(build, regex, jobs, timeout, exclude, stop=True):
    cmd = ["ctest", "--test-dir", str(build), "-j", str(jobs)] + ["--stop-on-failure"] * stop
    cmd += ["-R", regex] if regex else []
    cmd += ["-E", exclude] if exclude else []
    return run(cmd, timeout=timeout, stop_at=r"\*\*\*(Failed|Exception|Timeout)" if stop else None)


# ---------------------------------------------------------------- the run

def restore_leftovers(backups):
    for saved in backups.rglob("*") if backups.exists() else []:
        if saved.is_file():
            original = ROOT / saved.relative_to(backups)
            shutil.copyfile(saved, original)
            saved.unlink()
            print(f"mutants: restored {original.relative_to(ROOT)} from an interrupted run")


def test_timeout(regex, durations, args):
    """Three times what the same tests took unmutated, at least 20 s: a mutant that loops
    forever costs little more than one that does not."""
    if args.timeout:
        return args.timeout
    spent = sum(d for name, d in durations.items() if regex is None or re.search(regex, name))
    return max(20.0, 3 * spent / args.jobs)


def try_mutant(mu, build, backups, args, suites, clean):
    source = ROOT / mu["file"]
    saved = backups / mu["file"]
    saved.parent.mkdir(parents=True, exist_ok=True)
    original = source.read_bytes()
    shutil.copyfile(source, saved)
    try:
        source.write_bytes(apply(original.decode("utf-8"), mu).encode("utf-8"))
        code, out = build_tests(build, args.jobs, args.build_timeout)
        if code is None:
            return "uncompilable", "the build timed out"  # no test's merit
        if code != 0:
            error = re.search(r"error: (.*)", out)
            return "uncompilable", error.group(1)[:120] if error else ""
        regex = tests_for([mu["file"]], suites)
        timeout = test_timeout(regex, clean["durations"], args)
        code, out = run_tests(build, regex, args.jobs, timeout, clean["exclude"])
        if code is None:
            return "timeout", ""
        failed = re.findall(r"Test +#\d+: (\S+) .*?\*\*\*(\w+)", out)
        if code == 0:
            return "survived", ""
        return "killed", " ".join(f"{test} ({why})" for test, why in failed[:3])
    finally:
        source.write_bytes(original)
        saved.unlink()


def kill_rate(results):
    """Killed or timed out, of the mutants that compiled; and how many compiled."""
    ran = [r for r in results if r["status"] != "uncompilable"]
    return 100.0 * sum(r["status"] != "survived" for r in ran) / len(ran) if ran else 0.0, len(ran)


def key(mu):
    return f"{mu['file']}:{mu['offset']}:{mu['kind']}:{mu['replacement']}"


def report(results, args, seconds, total_found):
    counts = {s: sum(r["status"] == s for r in results)
              for s in ("killed", "survived", "uncompilable", "timeout")}
    score, _ = kill_rate(results)
    summary = {"seed": args.seed, "sample": args.sample, "files": args.files, "tried": len(results),
               "mutants_found": total_found, "counts": counts, "kill_rate": round(score, 1),
               "seconds": round(seconds), "mutants": results}
    text = [f"mutants: seed {args.seed}, {len(results)} tried of {args.sample} sampled "
            f"({total_found} found), {seconds / 60:.1f} min",
            "  " + ", ".join(f"{v} {k}" for k, v in counts.items()),
            f"  kill rate {score:.1f}% (killed or timed out, of those that compiled)"]
    carried = sum(bool(r.get("carried")) for r in results)
    if carried:
        text.insert(1, f"  {carried} of them carried over from {args.compare} without a run")
    folders = sorted({Path(r["file"]).parent.as_posix() for r in results})
    for folder in folders:
        rate, ran = kill_rate([r for r in results if Path(r["file"]).parent.as_posix() == folder])
        text.append(f"    {folder}: {rate:.0f}% of {ran}")
    survivors = [r for r in results if r["status"] == "survived"]
    text += ["survivors:"] + [f"  {r['file']}:{r['line']}: {r['kind']}: {describe(r)}"
                              for r in survivors] if survivors else []
    if args.compare:  # the same sample before a change: what the change let through
        earlier = json.loads(Path(args.compare).read_text())["mutants"]
        before = {key(r): r["status"] for r in earlier}
        lost = [r for r in survivors if before.get(key(r)) in ("killed", "timeout")]
        text += [f"killed in {args.compare}, surviving now: {len(lost)}"]
        text += [f"  {r['file']}:{r['line']}: {r['kind']}: {describe(r)}" for r in lost]
        if sum(key(r) in before for r in results) < len(results):
            text.append("  (the samples differ: the sources, the seed or --files changed)")
    print("\n".join(text))
    Path(args.report).write_text(json.dumps(summary, indent=2) + "\n")
    Path(args.report).with_suffix(".txt").write_text("\n".join(text) + "\n")
    print(f"mutants: report in {args.report} and {Path(args.report).with_suffix('.txt')}")


def unmutated_run(build, mutants, suites, args):
    """Builds and runs the sample's tests once as they are: how long each test takes, and
    which tests fail already (left out of every mutant's run)."""
    print(f"mutants: building {build} and running the tests once unmutated")
    started = time.monotonic()
    code, out = build_tests(build, args.jobs, None)
    if code != 0:
        sys.exit(f"mutants: the unmutated sources do not build:\n{out[-3000:]}")
    regex = tests_for({mu["file"] for mu in mutants}, suites)
    code, out = run_tests(build, regex, args.jobs, None, None, stop=False)
    durations = {name: float(sec) for name, sec in
                 re.findall(r"Test +#\d+: (\S+) .*? ([\d.]+) sec$", out, re.M)}
    failing = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
    if failing:
        print(f"mutants: these fail unmutated and are left out: {', '.join(failing)}")
    print(f"mutants: unmutated build and tests {time.monotonic() - started:.0f}s; "
          f"{len(mutants)} mutants to try")
    exclude = "^(" + "|".join(re.escape(t) for t in failing) + ")$" if failing else None
    return {"exclude": exclude, "durations": durations}


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--sample", type=int, default=300, help="how many mutants (default 300)")
    ap.add_argument("--seed", type=int, default=1, help="chooses the sample (default 1)")
    ap.add_argument("--files", default="*", help="glob over src/ and engines/ paths, e.g. "
                    "'src/orvcommon/core/*.cpp' (default all)")
    ap.add_argument("--list", action="store_true", help="print the sample and stop")
    ap.add_argument("--report", help="JSON report, a text summary goes beside it as .txt "
                    "(default <build>/mutants-report.json)")
    ap.add_argument("--compare", help="an earlier JSON report of the same sample: name the "
                    "mutants it killed that survive now")
    ap.add_argument("--only-killed", action="store_true", help="with --compare: try only the "
                    "mutants the earlier report killed or timed out, and carry the others' status "
                    "over (a cut of the tests can only lose kills; this halves the run)")
    ap.add_argument("--build", default=str(ROOT / "build-mutants"), help="build folder")
    ap.add_argument("--jobs", type=int, default=2, help="for the build and the tests")
    ap.add_argument("--timeout", type=float, default=0,
                    help="seconds for one mutant's tests (default: 3x the same tests unmutated, "
                    "at least 20)")
    ap.add_argument("--build-timeout", type=float, default=900)
    args = ap.parse_args()
    args.report = args.report or str(Path(args.build) / "mutants-report.json")
    if args.compare and not Path(args.compare).is_file():
        sys.exit(f"mutants: no report {args.compare} to compare with")
    if args.only_killed and not args.compare:
        sys.exit("mutants: --only-killed needs --compare")
    build, backups = Path(args.build), Path(args.build) / "mutants-backup"
    restore_leftovers(backups)

    if not (build / "CMakeCache.txt").exists():
        configure(build)  # later runs: ninja configures again itself when the CMake files change
    commands = json.loads((build / "compile_commands.json").read_text())
    files = sorted({str(Path(c["file"]).resolve().relative_to(ROOT)) for c in commands
                    if Path(c["file"]).resolve().is_relative_to(ROOT)})
    files = [f for f in files if f.startswith(("src/", "engines/")) and f.endswith(".cpp")
             and fnmatch.fnmatch(f, args.files)]
    if not files:
        sys.exit(f"mutants: no source built here matches {args.files}")
    mutants, total_found = sample(files, args.sample, args.seed)
    args.sample = len(mutants)
    if args.list:
        for mu in mutants:
            print(f"{mu['file']}:{mu['line']}: {mu['kind']}: {describe(mu)}")
        print(f"mutants: {len(mutants)} sampled of {total_found} found in {len(files)} files")
        return

    suites, results, started = test_suites(), [], time.monotonic()
    if args.only_killed:
        earlier = {key(r): r for r in json.loads(Path(args.compare).read_text())["mutants"]}
        carried = [dict(earlier[key(mu)], carried=True) for mu in mutants
                   if key(mu) in earlier and earlier[key(mu)]["status"] not in ("killed", "timeout")]
        results += carried
        mutants = [mu for mu in mutants if key(mu) not in {key(r) for r in carried}]
        print(f"mutants: {len(carried)} carried over from {args.compare} (survived or did not "
              f"compile there), {len(mutants)} to try again")
    try:
        clean = unmutated_run(build, mutants, suites, args)
        started = time.monotonic()
        for n, mu in enumerate(mutants, 1):
            t0 = time.monotonic()
            status, note = try_mutant(mu, build, backups, args, suites, clean)
            results.append(dict(mu, status=status, note=note,
                                seconds=round(time.monotonic() - t0, 1)))
            spent = time.monotonic() - started
            eta = spent / n * (len(mutants) - n)
            print(f"[{n:3}/{len(mutants)}] {status:12} {mu['file']}:{mu['line']}: {describe(mu)}"
                  f"  ({time.monotonic() - t0:.0f}s, ETA {eta / 60:.0f} min)", flush=True)
    except KeyboardInterrupt:
        print("mutants: interrupted; the sources are restored, the report covers what ran")
    finally:
        report(results, args, time.monotonic() - started, total_found)


def interrupted(*_):
    raise KeyboardInterrupt  # a terminated run restores the file like Ctrl-C does


if __name__ == "__main__":
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGINT, interrupted)  # also when started in the background
    main()

#!/usr/bin/env python3
"""The layers of the product, checked from its sources and objects:
 1. no two object files depend on each other both ways: the block engines
    below the file drivers, the drivers below the programs, the reading
    parts and the operating-system seam below them all (symbols read by nm);
 2. only platform/ speaks to the operating system: no other product file
    includes a header beyond the C++17 standard library or tests _WIN32,
    but for the CPU-feature code of the kernels and cpu/;
 3. the reading parts reach threads, files and the terminal only through
    the seam: their objects name no such function of the system;
 4. the verdict includes only the standard library, its own headers, the
    shared text rules and the seam's headers; the text rules only the
    standard library;
 5. the seam's headers (platform/*.h) include only the standard library,
    and each system's folder of it only the standard library, its own
    system's headers (listed below), its own files, the seam's headers and
    text/utf8.h; no other product file includes a system folder's file.
    tests/layers_check.py BUILD_DIR"""
import glob
import os
import re
import subprocess
import sys

SOURCE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
PRODUCT = ["sha512", "sha256", "programs", "reading", "cpu", "verdict", "text"]
STANDARD = set("""algorithm any array atomic bitset cassert cctype cerrno cfenv cfloat charconv chrono cinttypes
climits clocale cmath codecvt complex condition_variable csetjmp csignal cstdarg cstddef cstdint cstdio
cstdlib cstring ctime cuchar cwchar cwctype deque exception execution filesystem forward_list fstream
functional future initializer_list iomanip ios iosfwd iostream istream iterator limits list locale map
memory memory_resource mutex new numeric optional ostream queue random ratio regex scoped_allocator set
shared_mutex sstream stack stdexcept streambuf string string_view system_error thread tuple type_traits
typeindex typeinfo unordered_map unordered_set utility valarray variant vector""".split())
# The CPU's own instructions and features, where the kernels and cpu/ use them.
CPU_HEADERS = {"immintrin.h", "arm_neon.h", "arm_acle.h", "cpuid.h", "sys/auxv.h"}
# The folders whose headers ("...") a folder may include, beyond the
# standard library: the folder's own first.
MAY_INCLUDE = {
    "verdict": ["verdict", "text", "platform"],
    "text": ["text"],
}
# The system headers that each system's folder of the seam may include.
SYSTEM_HEADERS = {
    # POSIX.1-2017's headers, and Linux's ioctl.
    "posix": set("""aio.h arpa/inet.h assert.h complex.h cpio.h ctype.h dirent.h dlfcn.h errno.h fcntl.h fenv.h
float.h fmtmsg.h fnmatch.h ftw.h glob.h grp.h iconv.h inttypes.h iso646.h langinfo.h libgen.h limits.h locale.h
math.h monetary.h mqueue.h ndbm.h net/if.h netdb.h netinet/in.h netinet/tcp.h nl_types.h poll.h pthread.h pwd.h
regex.h sched.h search.h semaphore.h setjmp.h signal.h spawn.h stdarg.h stdbool.h stddef.h stdint.h stdio.h
stdlib.h string.h strings.h sys/ipc.h sys/mman.h sys/msg.h sys/resource.h sys/select.h sys/sem.h sys/shm.h
sys/socket.h sys/stat.h sys/statvfs.h sys/time.h sys/times.h sys/types.h sys/uio.h sys/un.h sys/utsname.h
sys/wait.h syslog.h tar.h termios.h tgmath.h time.h ulimit.h unistd.h utime.h utmpx.h wchar.h wctype.h
wordexp.h sys/ioctl.h""".split()),
    # The Windows API's and msvcrt's own.
    "windows": set("""windows.h winbase.h wincon.h winnls.h winuser.h io.h conio.h process.h direct.h fcntl.h
share.h malloc.h sys/stat.h sys/types.h sys/utime.h sys/timeb.h""".split()),
}
OS_SYMBOL = re.compile(r"^(pthread_|sem_|posix_|f?stat|open$|read$|isatty|ioctl|tc[gs]etattr|mmap|"
                       r"_beginthreadex|CreateSemaphore|WaitForSingleObject|ReleaseSemaphore|CreateFile|"
                       r"GetConsole|_wfopen|_fstati64)")


def symbols(obj, flag):
    out = subprocess.run(["nm", flag, obj], capture_output=True, text=True, check=True).stdout
    return {line.split()[-1] for line in out.splitlines() if line.strip()}


def is_cpu_code(path):
    name = os.path.basename(path)
    return path.startswith("cpu/") or (re.match(r"sha(256|512)_", name) is not None and
                                       not name.endswith(("_driver.cpp", "_dispatch.cpp", "_portable.cpp")))


problems = []

build = sys.argv[1]
objs = [o for o in glob.glob(build + "/CMakeFiles/*.dir/**/*.o", recursive=True) if "CompilerId" not in o]
defined = {o: symbols(o, "--defined-only") for o in objs}
undefined = {o: symbols(o, "-u") for o in objs}
uses = {a: {b for b in objs if a != b and undefined[a] & defined[b]} for a in objs}
for a, b in sorted({tuple(sorted((a, b))) for a in objs for b in uses[a] if a in uses[b]}):
    problems.append("each uses the other: %s %s" % (a, b))

files = 0
for folder in PRODUCT:
    for path in sorted(glob.glob(os.path.join(SOURCE, folder, "*.[ch]*"))):
        relative = os.path.relpath(path, SOURCE)
        files += 1
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            header = re.match(r"\s*#\s*include\s*<([^>]+)>", line)
            if header and header.group(1) not in STANDARD and not (
                    header.group(1) in CPU_HEADERS and is_cpu_code(relative)):
                problems.append("%s:%d includes <%s>, which is not the standard library's"
                                % (relative, number, header.group(1)))
            own = re.match(r"\s*#\s*include\s*\"([^\"]+)\"", line)
            if own and folder in MAY_INCLUDE and not (own.group(1).endswith(".h") and any(
                    os.path.isfile(os.path.join(SOURCE, allowed, own.group(1)))
                    or (own.group(1).startswith(allowed + "/") and "/" not in own.group(1)[len(allowed) + 1:]
                        and os.path.isfile(os.path.join(SOURCE, own.group(1))))
                    for allowed in MAY_INCLUDE[folder])):
                problems.append("%s:%d includes \"%s\", which is not in %s"
                                % (relative, number, own.group(1), ", ".join(f + "/" for f in MAY_INCLUDE[folder])))
            if re.search(r"\b_WIN32\b", line):
                problems.append("%s:%d tests _WIN32 outside platform/" % (relative, number))

# The seam: its headers, then each system's folder.
INCLUDE = re.compile(r"\s*#\s*include\s*([<\"])([^>\"]+)[>\"]")
for path in sorted(glob.glob(os.path.join(SOURCE, "platform", "**", "*.[ch]*"), recursive=True)):
    relative = os.path.relpath(path, SOURCE)
    folder = os.path.dirname(relative)
    system = os.path.basename(folder) if folder != "platform" else None
    files += 1
    if system is not None and (os.path.dirname(folder) != "platform" or system not in SYSTEM_HEADERS):
        problems.append("%s is in a folder of the seam with no list of its system's headers" % relative)
        continue
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        include = INCLUDE.match(line)
        if include is None:
            continue
        quoted, header = include.group(1) == '"', include.group(2)
        if system is None:
            allowed = not quoted and header in STANDARD
        elif quoted:
            allowed = (header == "text/utf8.h" or re.fullmatch(r"platform/[a-z_]+\.h", header) is not None
                       or header.startswith(folder + "/"))
        else:
            allowed = header in STANDARD or header in SYSTEM_HEADERS[system]
        if not allowed:
            problems.append("%s:%d includes %s, which %s may not" % (
                relative, number, include.group(0).strip()[len("#include"):].strip(),
                "a header of the seam" if system is None else "the seam's %s folder" % system))

# Each system's files of the seam are its own: no other product file
# includes them.
for folder in PRODUCT:
    for path in sorted(glob.glob(os.path.join(SOURCE, folder, "*.[ch]*"))):
        for number, line in enumerate(open(path, encoding="utf-8"), 1):
            include = INCLUDE.match(line)
            if include and re.match(r"platform/[^/]+/", include.group(2)):
                problems.append("%s:%d includes %s, a system's own file of the seam"
                                % (os.path.relpath(path, SOURCE), number, include.group(2)))

for obj in objs:
    if "/reading.dir/" in obj:
        for name in sorted(n for n in undefined[obj] if OS_SYMBOL.match(n)):
            problems.append("%s calls the system's %s, not the seam" % (obj, name))

for problem in problems:
    print(problem)
print("layers: %d objects, %d product files, %d problems" % (len(objs), files, len(problems)))
sys.exit(1 if problems or not objs else 0)

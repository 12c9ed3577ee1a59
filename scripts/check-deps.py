#!/usr/bin/env python3
"""Fails when a package the build needs is missing from the package list of scripts/deps.sh.

Every CMake package the configure step found is a `*_DIR` entry of CMakeCache.txt. For each
one below /usr (not /usr/local), the Debian package owning it must be in the list or be
pulled in by it through hard dependencies (Depends and Pre-Depends, never Recommends).

Usage: scripts/check-deps.py [BUILD_DIR [DEPS_SCRIPT]]   (defaults: build, scripts/deps.sh)
"""

import glob
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def listed_packages(deps_script):
    """The words of the PACKAGES=( ... ) array of the install script."""
    with open(deps_script, encoding="utf-8") as f:
        text = f.read()
    match = re.search(r"^PACKAGES=\((.*?)^\)", text, re.S | re.M)
    if not match:
        sys.exit(f"{deps_script}: no PACKAGES=( ... ) list found")
    words = []
    for line in match.group(1).splitlines():
        words += line.split("#", 1)[0].split()
    return words


def package_dirs(cache):
    """NAME -> folder of every *_DIR cache entry that lies below /usr (not /usr/local)."""
    dirs = {}
    with open(cache, encoding="utf-8") as f:
        for line in f:
            m = re.match(r"^([A-Za-z0-9_.+-]+_DIR):(?:PATH|STRING|FILEPATH)=(/usr/.*)$", line)
            if m and not m.group(2).startswith("/usr/local/") and os.path.isdir(m.group(2)):
                dirs[m.group(1)] = os.path.normpath(m.group(2))
    return dirs


def probe_path(folder):
    """The file that tells the owner: the package config file when the folder holds one,
    else the folder itself. A folder such as /usr/include belongs to many packages; one of
    them in the list is enough, as the folder tells no more."""
    configs = sorted(glob.glob(os.path.join(folder, "*Config.cmake")) +
                     glob.glob(os.path.join(folder, "*-config.cmake")))
    return configs[0] if configs else folder


def owners(paths):
    """path -> set of owning packages (empty when dpkg knows none), in one dpkg call."""
    result = {p: set() for p in paths}
    if not paths:
        return result
    run = subprocess.run(["dpkg", "-S", *paths], capture_output=True, text=True)
    for line in run.stdout.splitlines():
        if line.startswith(("diversion ", "local diversion")) or ": " not in line:
            continue
        names, path = line.split(": ", 1)
        if path in result:
            result[path] |= {n.strip().split(":")[0] for n in names.split(",")}
    # A merged /usr may register a file under /lib: ask once more for the ones not found.
    missing = [p for p in paths if not result[p] and p.startswith("/usr/")]
    if missing:
        retry = owners([p[len("/usr"):] for p in missing])
        for p in missing:
            result[p] = retry[p[len("/usr"):]]
    return result


def parse_depends(text):
    """apt-cache depends output -> {package: [group, ...]}, a group being a list of
    alternatives, each (name, providers) with providers listed only for virtual names."""
    graph = {}
    current = None
    group = []
    continues = False
    for line in text.splitlines():
        if not line.startswith(" "):
            current = line.strip().split(":")[0].strip("<>")
            graph.setdefault(current, [])
            continues = False
            continue
        m = re.match(r"^ ([ |])(Pre)?Depends: (.*)$", line)
        if m:
            if not continues:
                group = []
                graph[current].append(group)
            raw = m.group(3).strip()
            group.append([raw.split(":")[0].strip("<>"), raw.startswith("<"), []])
            continues = m.group(1) == "|"
        elif line.startswith("    ") and group:
            group[-1][2].append(line.strip().split(":")[0])
    return graph


def closure(listed, graph):
    """The listed packages and what installing them pulls in. A dependency group is met by
    its first alternative that can be installed; a virtual name by its provider, the one
    the list names when it names one, else the first. Alternatives the list names win."""
    listed = set(listed)

    def candidates(alternative):
        name, virtual, providers = alternative
        if not virtual:
            return [name]
        return sorted(providers, key=lambda p: p not in listed)

    def choose(group):
        options = [c for alt in group for c in candidates(alt)]
        for option in options:
            if option in listed:
                return option
        return options[0] if options else None

    pulled = set()
    todo = list(listed)
    while todo:
        package = todo.pop()
        if package in pulled:
            continue
        pulled.add(package)
        for group in graph.get(package, []):
            chosen = choose(group)
            if chosen and chosen not in pulled:
                todo.append(chosen)
    return pulled


def main():
    build = sys.argv[1] if len(sys.argv) > 1 else "build"
    deps_script = sys.argv[2] if len(sys.argv) > 2 else os.path.join(HERE, "deps.sh")
    cache = os.path.join(build, "CMakeCache.txt")
    if not os.path.isfile(cache):
        sys.exit(f"{cache} is missing: configure the build first")
    listed = listed_packages(deps_script)
    # One recursive query for the whole list; everything below works on its answer.
    query = subprocess.run(
        ["apt-cache", "depends", "--recurse", "--no-recommends", "--no-suggests",
         "--no-conflicts", "--no-breaks", "--no-replaces", "--no-enhances", *listed],
        capture_output=True, text=True)
    if query.returncode != 0:
        sys.exit("apt-cache depends failed: " + query.stderr.strip())
    pulled = closure(listed, parse_depends(query.stdout))

    dirs = package_dirs(cache)
    probes = {name: probe_path(folder) for name, folder in dirs.items()}
    owned = owners(sorted(set(probes.values())))
    missing = []
    for name in sorted(dirs):
        found = owned[probes[name]]
        if not found:
            missing.append(f"{name}={dirs[name]}: no Debian package owns {probes[name]}")
        elif not found & pulled:
            missing.append(f"{name}={dirs[name]}: owned by {', '.join(sorted(found))}, "
                           f"which {deps_script} neither lists nor pulls in")
    if missing:
        print("Packages the build needs are missing from the list:", file=sys.stderr)
        for entry in missing:
            print("  " + entry, file=sys.stderr)
        return 1
    print(f"check-deps: the {len(dirs)} *_DIR entries below /usr all come from the list "
          f"({len(listed)} packages, {len(pulled)} with their dependencies)")
    return 0


if __name__ == "__main__":
    sys.exit(main())

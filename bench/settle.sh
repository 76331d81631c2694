# Sourced by the benchmark scripts. settle FILE...: puts the files in the system's file
# cache as reading them from disk would. A file just written keeps the cache pages of its
# writes, and copying it out of them can take twice as long (1 GB written by sox: cat 101 ms;
# the same file dropped and read back: 41 ms), which would make every ratio against cat
# depend on how the file was made.
settle() {
  sync "$@"
  python3 - "$@" <<'PY'
import os, sys
for name in sys.argv[1:]:
    fd = os.open(name, os.O_RDONLY)
    os.posix_fadvise(fd, 0, 0, os.POSIX_FADV_DONTNEED)
    os.close(fd)
PY
  cat "$@" > /dev/null
}

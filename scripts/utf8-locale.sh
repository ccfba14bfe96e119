# Sourced by the scripts that run Wine (POSIX sh).
#
# Wine turns file names between Windows and this system through the
# character set of the Unix locale. With no locale set (no LANG, no LC_*),
# or an ASCII one (LC_ALL=C), a name such as 図面 or q't ü.jww can be neither
# opened nor made, and the programs under Wine fail on them. Such a caller's
# locale is replaced by C.UTF-8, which every Debian system has; a caller's
# UTF-8 locale is kept.
case $(locale charmap 2>/dev/null) in
  UTF-8) ;;
  *) LC_ALL=C.UTF-8; export LC_ALL ;;
esac

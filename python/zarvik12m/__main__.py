# python3 -m zarvik12m. Ctrl+C while the package loads ends with the stop
# message and exit code 1, as it does later.
import sys

try:
    from .cli import run
except KeyboardInterrupt:
    sys.stderr.write("Операция была прервана пользователем\n")
    sys.exit(1)

sys.exit(run())

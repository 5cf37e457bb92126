"""The package's version, the one place it is written: pyproject.toml reads
it for pip, the package gives it as zarvik12m.__version__, and
scripts/lint.sh checks that it is the project's version in CMakeLists.txt."""

__version__ = "1.0.0"

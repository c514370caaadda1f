#!/usr/bin/env bash
# Prints the product version, kept in one place: the project() line of the
# top-level CMakeLists.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
sed -n 's/^project(VORN VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt

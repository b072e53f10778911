#!/usr/bin/env bash
# Regenerates the images of resources/ (flags, window images, icons, each PNG also at twice its
# size as <name>@2x.png, tray icons, the application icon in resources/icons/hicolor/), the
# resource collection file resources/tavrin.qrc and the licence texts in resources/licenses/.
# A development-time step, run by hand after changing generate.js; the build and the tests only
# use the committed files. Needs node and npm with access to the npm registry, and Debian's
# fonts-roboto-unhinted for the wordmark.
set -euo pipefail
cd "$(dirname "$0")"
npm ci --no-audit --no-fund
node generate.js

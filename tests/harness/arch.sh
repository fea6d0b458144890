#!/usr/bin/env bash
# Prints the Windows architecture the tests can run here: i686 where the kernel
# executes 32-bit code (Wine's 32-bit loader runs), x86_64 where it does not.
if /usr/lib/wine/wine --version >/dev/null 2>&1; then echo i686; else echo x86_64; fi

#!/bin/sh
# An exe that prints one line of text and exits: by default the tool when another copy runs, or
# one older than /json; SORVANE_STUB_LINE and SORVANE_STUB_EXIT make it print and exit otherwise.
printf '%s\n' "${SORVANE_STUB_LINE:-RESULT: failed - another copy of Sorvane is running}"
exit "${SORVANE_STUB_EXIT:-1}"

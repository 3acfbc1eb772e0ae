#!/bin/sh
# An exe that prints one line of text: the tool when another copy runs, or one older than /json.
echo 'RESULT: failed - another copy of Sorvane is running'
exit 1

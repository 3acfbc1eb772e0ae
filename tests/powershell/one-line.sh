#!/bin/sh
# Stands in for an exe that prints one line of text, as the tool does when another
# copy holds its lock, or as one older than /json does.
echo 'RESULT: failed - another copy of Sorvane is running'
exit 1

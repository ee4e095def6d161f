#!/bin/sh
set -eu

$0

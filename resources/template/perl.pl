#!/usr/bin/perl
use strict;
use warnings;

$0

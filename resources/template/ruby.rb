#!/usr/bin/env ruby
# frozen_string_literal: true

$0

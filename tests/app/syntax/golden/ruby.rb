#!/usr/bin/env ruby
# frozen_string_literal: true

=begin
Inventory report: reads a CSV of items and prints totals.
Words here like def and end { do not fold }.
=end

require 'csv'
require_relative "lib/money"

module Shop
  VERSION = "1.2.0"
  TAX = 1.19
  LIMIT = 0xFF_FF + 0b1010 + 1_000

  # One stock item
  class Item
    attr_reader :name, :count, :price

    def initialize(name, count, price)
      @name = name
      @count = Integer(count)
      @price = price.to_f
      @@created ||= 0
      @@created += 1
    end

    def total
      count * price * TAX
    end

    def to_s = "#{name} x#{count}"
  end

  class Report
    def initialize(items)
      @items = items.sort_by { |i| -i.total }
    end

    def render(io = $stdout)
      io.puts header
      @items.each do |item|
        io.printf("%-20s %8.2f\n", item.name, item.total)
      end
      io.puts 'no items, it\'s empty' if @items.empty?
      unless @items.any? { |i| i.name =~ /^[A-Z]\w*$/i }
        warn %q(no {capitalised} names)
      end
    end

    private

    def header
      <<~TEXT
        Report for #{Time.now.year}
        Items: #{@items.size}
      TEXT
    end
  end

  def self.load(path)
    rows = CSV.read(path, headers: true)
    rows.map { |r| Item.new(r["name"], r["count"], r["price"]) }
  rescue Errno::ENOENT => e
    raise ArgumentError, "missing file: #{e.message}"
  ensure
    puts "loaded #{path}" if $DEBUG
  end
end

if __FILE__ == $PROGRAM_NAME
  items = Shop.load(ARGV.fetch(0, "items.csv"))
  words = %w[alpha beta gamma]
  case items.size
  when 0 then puts :empty
  else Shop::Report.new(items).render
  end
  i = 0
  while i < words.length
    i += 1
  end
end
__END__
Data after the end marker is not code: def class end

# frozen_string_literal: true

# Builds a changelog from commit subjects that follow "type(scope): message".
require 'date'
require 'set'

module Changelog
  TYPES = %w[feat fix perf docs refactor chore].freeze
  HEADINGS = {
    feat: 'Features',
    fix: 'Bug fixes',
    perf: 'Performance',
    docs: 'Documentation',
  }.freeze
  SUBJECT = /\A(?<type>[a-z]+)(?:\((?<scope>[\w\/-]+)\))?(?<bang>!)?:\s+(?<message>.+)\z/
  ISSUE_REF = %r{(?:closes|fixes)\s+#(\d+)}i

  Entry = Struct.new(:type, :scope, :message, :breaking, :issues, keyword_init: true) do
    def to_markdown
      scope_text = scope ? "**#{scope}:** " : ''
      refs = issues.empty? ? '' : " (#{issues.map { |n| "##{n}" }.join(', ')})"
      "- #{breaking ? '⚠️ ' : ''}#{scope_text}#{message}#{refs}"
    end
  end

  class Parser
    attr_reader :skipped

    def initialize(ignore_scopes: [])
      @ignore = Set.new(ignore_scopes)
      @skipped = []
    end

    # Returns an Entry, or nil when the subject does not follow the format.
    def parse(subject)
      m = SUBJECT.match(subject.strip)
      unless m && TYPES.include?(m[:type])
        @skipped << subject
        return nil
      end
      return nil if @ignore.include?(m[:scope])

      Entry.new(
        type: m[:type].to_sym,
        scope: m[:scope],
        message: m[:message].sub(ISSUE_REF, '').strip.delete_suffix(','),
        breaking: !m[:bang].nil?,
        issues: subject.scan(ISSUE_REF).flatten.map(&:to_i)
      )
    end
  end

  def self.render(version, entries, date: Date.today)
    out = +"## #{version} (#{date.strftime('%Y-%m-%d')})\n"
    breaking = entries.select(&:breaking)
    unless breaking.empty?
      out << <<~MD

        ### Breaking changes

        #{breaking.map(&:to_markdown).join("\n")}
      MD
    end
    entries.group_by(&:type).sort_by { |type, _| TYPES.index(type.to_s) }.each do |type, list|
      next unless HEADINGS.key?(type)

      out << "\n### #{HEADINGS[type]}\n\n"
      list.each { |e| out << e.to_markdown << "\n" }
    end
    out
  end
end

if $PROGRAM_NAME == __FILE__
  subjects = <<~'LOG'.lines(chomp: true)
    feat(editor): add column selection, closes #42
    fix: don't crash on "empty" files
    perf(search)!: use a faster matcher; #{not interpolated} here
    Merge branch 'main' into topic
    docs: explain the %APPDATA% folder
    chore(deps): bump things
  LOG

  parser = Changelog::Parser.new(ignore_scopes: %w[deps])
  entries = subjects.filter_map { |s| parser.parse(s) }
  puts Changelog.render('v1.4.0', entries, date: Date.new(2024, 3, 1))
  warn(%q{skipped: } + parser.skipped.join(' | '))
  printf("%d entries, %d skipped\n", entries.size, parser.skipped.size)
end

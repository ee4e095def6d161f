# A tiny key/value settings store with typed accessors and change callbacks.
require 'json'

class SettingsStore
  include Enumerable

  class UnknownKey < KeyError; end

  DEFAULTS = {
    'editor.tab_width' => 4,
    'editor.word_wrap' => false,
    'ui.theme' => 'light',
    'files.encoding' => 'utf-8',
  }.freeze

  VALID_THEMES = %i[light dark system].freeze
  PATH_SEPARATOR = File::ALT_SEPARATOR || '/'

  def initialize(path = nil, **overrides)
    @path = path
    @values = DEFAULTS.merge(load_file).merge(overrides.transform_keys(&:to_s))
    @listeners = Hash.new { |h, k| h[k] = [] }
  end

  def [](key)
    @values.fetch(key.to_s) { raise UnknownKey, "no setting named '#{key}'" }
  end

  def []=(key, value)
    key = key.to_s
    old = self[key]
    return if old == value

    validate!(key, value)
    @values[key] = value
    @listeners[key].each { |cb| cb.call(value, old) }
  end

  def on_change(key, &block)
    @listeners[key.to_s] << block
    self
  end

  def each(&block)
    @values.sort.each(&block)
  end

  def theme
    self['ui.theme'].to_sym
  end

  def to_json(*args)
    JSON.pretty_generate(@values, *args)
  end

  def save!
    raise ArgumentError, 'no path given' unless @path

    File.write(@path, to_json, mode: 'w', encoding: 'UTF-8')
  end

  private

  def load_file
    return {} unless @path && File.exist?(@path)

    JSON.parse(File.read(@path, encoding: 'UTF-8'))
  rescue JSON::ParserError => e
    warn "ignoring #{@path}: #{e.message[0, 60]}..."
    {}
  end

  def validate!(key, value)
    case key
    when 'editor.tab_width'
      raise ArgumentError, "tab width must be 1..16, got #{value.to_s.dump}" unless (1..16).cover?(value)
    when 'ui.theme'
      return if VALID_THEMES.include?(value.to_sym)

      raise ArgumentError, %(theme must be one of #{VALID_THEMES.join(", ")} (got "#{value}"))
    when /\Afiles\./
      raise ArgumentError, 'encoding names are lower case' if value =~ /[A-Z]/
    end
  end
end

if __FILE__ == $0
  store = SettingsStore.new(nil, 'ui.theme' => 'dark')
  store.on_change(:'editor.tab_width') { |new, old| puts "tab width: #{old} -> #{new}" }
  store['editor.tab_width'] = 2
  begin
    store[:'ui.theme'] = 'neon'
  rescue ArgumentError => e
    puts "rejected: #{e.message}"
  end
  store.each { |k, v| puts format('%-20s %p', k, v) }
  puts store.theme == :dark ? 'dark mode' : "theme is #{store.theme}"
  puts 'single quotes keep #{this} as is', "double quotes: #{1 + 1}", :"quoted symbol", ?a
  puts store.to_json
end

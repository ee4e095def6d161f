# Globals named by punctuation, interpolations holding strings and braces,
# a regular expression that spans lines, and commands in backquotes.
def rake_require(file_name, paths = $LOAD_PATH, loaded = $")
  fn = file_name + ".rake"
  return false if loaded.include?(fn)
  sep = $/
  last = $'
  true
end

fmt = " %2s #{Color.colorize("%#{width}d", [:BLUE, :BOLD])}: %s"
msg = "total: #{items.map { |i| i[:size] }.sum} bytes in #{"many" if items.size > 1} files"
label = "#{name} (#{"x" * 3})"
puts "#{h["key"]} and #{h['other']}"

space = / /
NAME_VERSION = /
  ^(#{space}{2}|#{space}{4})(?!#{space}) # two or four spaces
  (.*?)                                   # the name
/x
count = NAME_VERSION.match(line) ? 1 : 0
sha = Dir.chdir(dir) { `git rev-parse --short HEAD`.strip }
shell = `ps -p #{Process.ppid} -o 'args='`
puts $`, "after"

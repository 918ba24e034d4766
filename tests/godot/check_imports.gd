# Run by import.sh as `godot3 --path PROJECT -s check_imports.gd` after the editor
# has imported the project's .glb files. For each one it prints
#   <name> ok animations <found> expected <in the file>
# or <name> FAIL <why>, and quits with 1 when any line failed.
extends SceneTree

# The animation count that the file itself declares, read from its JSON chunk,
# so the check needs no other program to know what Godot should have found.
func declared_animations(path):
	var f = File.new()
	if f.open(path, File.READ) != OK:
		return -1
	f.seek(12)
	var length = f.get_32()
	f.get_32()
	var parsed = JSON.parse(f.get_buffer(length).get_string_from_utf8())
	f.close()
	if parsed.error != OK or typeof(parsed.result) != TYPE_DICTIONARY:
		return -1
	return parsed.result.get("animations", []).size()

func find_player(node):
	if node is AnimationPlayer:
		return node
	for child in node.get_children():
		var found = find_player(child)
		if found:
			return found
	return null

func check(name):
	var expected = declared_animations("res://" + name)
	if expected < 0:
		return "FAIL its JSON chunk does not parse"
	var scene = load("res://" + name)
	if scene == null:
		return "FAIL not imported"
	var root = scene.instance()
	var player = find_player(root)
	var found = 0
	if player:
		found = player.get_animation_list().size()
	root.free()
	if found != expected:
		return "FAIL animations %d expected %d" % [found, expected]
	return "ok animations %d expected %d" % [found, expected]

func _init():
	var failed = 0
	var dir = Directory.new()
	dir.open("res://")
	dir.list_dir_begin(true, true)
	var names = []
	var name = dir.get_next()
	while name != "":
		if name.ends_with(".glb"):
			names.append(name)
		name = dir.get_next()
	names.sort()
	for n in names:
		var line = check(n)
		print(n, " ", line)
		if line.begins_with("FAIL"):
			failed += 1
	print("godot checked %d models, %d failed" % [names.size(), failed])
	quit(1 if failed > 0 or names.empty() else 0)

# "Send to Vaporizer" and "Vaporize now" in the context menu of Files
# (Nautilus): each runs the Vaporizer's file-manager action on the selected
# local files.
import subprocess

from gi.repository import GObject, Nautilus

ACTION = "/usr/libexec/vaporizer/file-manager-action"


class VaporizerMenu(GObject.GObject, Nautilus.MenuProvider):
    def get_file_items(self, *args):
        # (window, files) before Nautilus 43, (files) since.
        paths = [f.get_location().get_path() for f in args[-1]]
        if not paths or None in paths:
            return []  # files that are not local have no drive
        items = []
        for choice, label in (("send", "Send to Vaporizer"), ("shred", "Vaporize now")):
            item = Nautilus.MenuItem(name="Vaporizer::" + choice, label=label)
            item.connect("activate", self.run, choice, paths)
            items.append(item)
        return items

    def run(self, _item, choice, paths):
        return subprocess.Popen([ACTION, choice] + paths)

"""Textures of Varnel Engine 2+ resource files as NumPy arrays.

Open a resource file, look at its textures as the tool's listing shows
them, decode their images into arrays or write them as the tool does:

    import lumenpull

    with lumenpull.open("textures/wall.tex") as resource:
        for texture in resource.textures:
            if texture.rejected or texture.without_pixels:
                continue
            pixels = texture.image()        # (height, width, 3) uint8 ...
            texture.save("out/wall.png")    # the file the tool writes

open()     a resource file, from a path or from its contents in memory
Resource   an open file: .textures, .texture_objects, .rejection, and
           save(path) / patched() with the images replace() recorded
Texture    one texture: its listing fields, image(i), images(), save(path),
           replace(array, i)
convert()  a whole conversion as the tool runs it, reports as dicts
Error      every failure of a file, with the tool's message

Arrays are (height, width) uint8 for grey, (height, width, 3|4) uint8 for
RGB(A) colour and (height, width, 3) float32 for high-dynamic-range
textures, top row first: the pixels of the PNG or OpenEXR file the tool
writes. Reading, unpacking and decoding run without the GIL, so threads
decode in parallel.
"""

from ._lumenpull import Error, Packing, Resource, Texture, __version__, convert, open

__all__ = ["Error", "Packing", "Resource", "Texture", "convert", "open"]

for _name in __all__:
    globals()[_name].__module__ = __name__
del _name

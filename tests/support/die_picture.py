"""The die as every platform's screenshots show it, read as a user would:
where the floor is, which side the camera looks down on, and its pips."""

from PIL import ImageChops

# The pale tints of the die's sides, and the faces that carry each.
FACES_OF_TINT = {(208, 255, 208): (1, 6), (255, 208, 208): (2, 5), (208, 208, 255): (3, 4)}


def region(image, seed, inside):
    """The pixels connected to seed for which inside(pixel) holds."""
    found, todo = {seed}, [seed]
    while todo:
        x, y = todo.pop()
        for near in ((x + 1, y), (x - 1, y), (x, y + 1), (x, y - 1)):
            if near not in found and 0 <= near[0] < image.width and 0 <= near[1] < image.height \
                    and inside(image.getpixel(near)):
                found.add(near)
                todo.append(near)
    return found


def top_face(image):
    """(tint, pips, red pips) of the side the camera looks down on: the one
    that holds the die's highest tinted pixel, and the holes in it."""
    y, x = min((y, x) for x in range(image.width) for y in range(image.height)
               if image.getpixel((x, y)) in FACES_OF_TINT)
    tint = image.getpixel((x, y))
    face = region(image, (x, y), lambda pixel: pixel == tint)
    left, right = min(p[0] for p in face), max(p[0] for p in face)
    top, bottom = min(p[1] for p in face), max(p[1] for p in face)
    pips, red, seen = 0, 0, set(face)
    for start in ((x, y) for x in range(left, right + 1) for y in range(top, bottom + 1)):
        if start in seen:
            continue
        hole = region(image, start, lambda pixel: pixel != tint)
        seen |= hole
        if all(left < x < right and top < y < bottom for x, y in hole):
            pips += 1
            red += any(image.getpixel(p) == (255, 0, 0) for p in hole)
    return tint, pips, red


def check_face_up(test, image):
    """That a picture at rest shows a face up, a red pip on face 1 only; its pips."""
    tint, pips, red = top_face(image)
    test.assertIn(pips, FACES_OF_TINT[tint], "expected the top side's tint %s to carry one of "
                  "faces %s; it shows %d pips" % (tint, FACES_OF_TINT[tint], pips))
    test.assertEqual(red, pips == 1, "expected red in the single pip of face 1 only")
    return pips


def floor_box(image):
    """(left, top, right, bottom) of the floor's grey, or None."""
    red, green, blue = (band.point(lambda v: 255 * (v == 128)) for band in image.split())
    return ImageChops.multiply(ImageChops.multiply(red, green), blue).getbbox()

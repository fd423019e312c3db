"""Where the viewer draws an atom right after a load, computed from the file:
the camera is fitted to the box of the drawn atoms (radii included), looking
down -z with y up, from distance R / sin(30 degrees) with R half the box
diagonal, through a 60-degree vertical perspective."""

import math

# Ball-and-stick ball radii of the elements the tests use.
BALL_RADIUS = {"H": 0.15, "C": 0.26, "N": 0.28, "O": 0.30}


def write_xyz(path, atoms, title="test structure"):
    """atoms: [(symbol, x, y, z)]. Frames of a trajectory: pass a list of such lists."""
    frames = atoms if atoms and isinstance(atoms[0], list) else [atoms]
    with open(path, "w") as f:
        for frame in frames:
            f.write("%d\n%s\n" % (len(frame), title))
            for sym, x, y, z in frame:
                f.write("%-2s %12.6f %12.6f %12.6f\n" % (sym, x, y, z))


class FittedView:
    def __init__(self, atoms, width=512, height=512, radius=BALL_RADIUS):
        lo = [min(a[1 + i] - radius[a[0]] for a in atoms) for i in range(3)]
        hi = [max(a[1 + i] + radius[a[0]] for a in atoms) for i in range(3)]
        self.centre = [(l + h) / 2 for l, h in zip(lo, hi)]
        r = math.sqrt(sum((h - l) ** 2 for l, h in zip(lo, hi))) / 2
        self.width, self.height = width, height
        aspect = width / height
        half_y = math.radians(30)
        half_x = math.atan(math.tan(half_y) * aspect)
        self.distance = r / math.sin(min(half_x, half_y))
        self.eye_z = self.centre[2] + self.distance
        self.tan_y = math.tan(half_y)

    def project(self, x, y, z, width=None, height=None):
        """Pixel (x right, y down) of a world point, as floats: in the window,
        or in an image of another size drawn from the same camera (the
        vertical field of view stays 60 degrees)."""
        width, height = width or self.width, height or self.height
        depth = self.eye_z - z
        ndc_x = (x - self.centre[0]) / depth / (self.tan_y * width / height)
        ndc_y = (y - self.centre[1]) / depth / self.tan_y
        return (ndc_x + 1) / 2 * width, (1 - ndc_y) / 2 * height

    def pixel(self, x, y, z):
        px, py = self.project(x, y, z)
        return int(round(px)), int(round(py))

    def pixels_per_angstrom(self, z=0.0):
        return self.height / 2 / ((self.eye_z - z) * self.tan_y)

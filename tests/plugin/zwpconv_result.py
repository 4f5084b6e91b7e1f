"""What the host tests compare against: the file zwpconv makes."""
import os
import subprocess
import tempfile


def zwpconv_result(zwpconv, work, *args, env=None):
    """The path of the file zwpconv makes for the arguments, in a folder of its own under work."""
    out = tempfile.mkdtemp(dir=work)
    subprocess.run([zwpconv, "-o", out, *args], check=True, stdout=subprocess.DEVNULL, env=env)
    (name,) = os.listdir(out)
    return os.path.join(out, name)

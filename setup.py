"""pip install . : the package soilcal built by the project's CMake build.

Where a CMake build folder of this checkout already builds the module for
the interpreter pip runs (``build/`` of scripts/setup, or the folder named
by SOILCAL_BUILD_DIR), that build is brought up to date (nothing to do right
after scripts/setup) and its package folder is installed: the program is not
built a second time. Otherwise CMake configures the whole program with the
Python module on and builds the module and the run-time libraries it loads
into setuptools' build folder. Either way setuptools installs the package
folder as it is (the package's Python files, _soilcal and the libraries
beside it).
"""

import os
import re
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def version():
    with open(os.path.join(HERE, "services", "version.hpp"), encoding="utf-8") as f:
        return re.search(r'kVersion = "([^"]+)"', f.read()).group(1)


def cache_value(text, key):
    match = re.search(r"^" + re.escape(key) + r":[A-Z]*=(.*)$", text, re.M)
    return match.group(1).strip() if match else None


def existing_build():
    """The CMake build folder that already builds the module for this
    interpreter, or None: SOILCAL_BUILD_DIR when set, else build/."""
    folder = os.environ.get("SOILCAL_BUILD_DIR") or os.path.join(HERE, "build")
    try:
        with open(os.path.join(folder, "CMakeCache.txt"), encoding="utf-8") as f:
            cache = f.read()
    except OSError:
        return None
    python = cache_value(cache, "Python_EXECUTABLE")
    package = cache_value(cache, "SOILCAL_PYTHON_DIR")
    if cache_value(cache, "CMAKE_HOME_DIRECTORY") is None or package is None or python is None:
        return None
    if os.path.realpath(cache_value(cache, "CMAKE_HOME_DIRECTORY")) != os.path.realpath(HERE):
        return None
    if os.path.realpath(python) != os.path.realpath(sys.executable):
        return None
    if (cache_value(cache, "SOILCAL_PYTHON") or "AUTO").upper() in ("OFF", "0", "FALSE", "NO"):
        return None
    return os.path.abspath(folder), os.path.join(package, "soilcal")


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_dir = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 2))
        reused = existing_build()
        if reused is not None:
            build_dir, built_package = reused
            print("soilcal: reusing the CMake build in " + build_dir)
            subprocess.check_call(["cmake", "--build", build_dir, "--target", "soilcal_python",
                                   "-j", jobs])
            os.makedirs(package_dir, exist_ok=True)
            for name in os.listdir(built_package):
                source = os.path.join(built_package, name)
                if os.path.isfile(source):
                    shutil.copy2(source, os.path.join(package_dir, name))
            return
        build_dir = os.path.abspath(os.path.join(self.build_temp, "cmake"))
        os.makedirs(build_dir, exist_ok=True)
        configure = [
            "cmake", "-S", HERE, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
            "-DSOILCAL_TESTS=OFF", "-DSOILCAL_BENCH=OFF", "-DSOILCAL_PYTHON=ON",
            "-DPython_EXECUTABLE=" + sys.executable,
            "-DSOILCAL_PYTHON_DIR=" + os.path.dirname(package_dir),
        ]
        if subprocess.call(["ninja", "--version"], stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL) == 0:
            configure += ["-G", "Ninja"]
        subprocess.check_call(configure)
        subprocess.check_call(["cmake", "--build", build_dir, "--target", "soilcal_python",
                               "-j", jobs])


setup(
    version=version(),
    packages=["soilcal"],
    package_dir={"": "python"},
    ext_modules=[CMakeExtension("soilcal._soilcal")],
    cmdclass={"build_ext": CMakeBuild},
    zip_safe=False,
)

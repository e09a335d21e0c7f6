"""pip install . : the package soilcal built by the project's CMake build.

CMake configures the whole program with the Python module on and builds the
module and the run-time libraries it loads into setuptools' build folder;
setuptools then installs that folder as it is (the package's Python files,
_soilcal and the libraries beside it).
"""

import os
import re
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

HERE = os.path.dirname(os.path.abspath(__file__))


def version():
    with open(os.path.join(HERE, "services", "version.hpp"), encoding="utf-8") as f:
        return re.search(r'kVersion = "([^"]+)"', f.read()).group(1)


class CMakeExtension(Extension):
    def __init__(self, name):
        super().__init__(name, sources=[])


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        package_dir = os.path.dirname(os.path.abspath(self.get_ext_fullpath(ext.name)))
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
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", str(os.cpu_count() or 2))
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

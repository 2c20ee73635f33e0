#!/bin/sh
# Fault drill: seeds each deliberate fault below into a copy of the working tree, builds it, runs
# the release suite (the ASan suite for faults marked asan) and records which tests fail. A fault
# no test catches is a hole in the suite. The tree itself is never modified: the drill works in
# a mirror (default build/drill), kept between runs so that only the faulted file rebuilds.
#
#   scripts/fault-drill.sh                 every fault, a Markdown table on standard output
#   scripts/fault-drill.sh draw-order ...  only the named faults
#   scripts/fault-drill.sh --list          the fault names
#   scripts/fault-drill.sh --check         every snippet still in place (no build)
#   QAV_DRILL_SUITES="a_test b_test" ...   build and run only these release suites (and the tool)
#
# Each fault is an exact text substitution keyed on a snippet that must occur exactly once in
# its file; a snippet that has moved stops the drill, so the table never silently shrinks.
# Not part of make test: a full drill rebuilds the library once per fault.
set -eu
cd "$(dirname "$0")/.."
exec python3 - "$@" <<'PY'
import filecmp, glob, os, re, shutil, subprocess, sys

ROOT = os.getcwd()
MIRROR = os.environ.get("QAV_DRILL_DIR", os.path.join(ROOT, "build", "drill"))
SRC = os.path.join(MIRROR, "src")
JOBS = os.environ.get("JOBS", "2")
# The ASan faults build and run only these suites: a full sanitizer build per fault is too slow.
ASAN_SUITES = os.environ.get("QAV_DRILL_ASAN_SUITES", "realga_test intga_test").split()
# Release faults run the whole suite through ctest unless these suites are named.
RELEASE_SUITES = os.environ.get("QAV_DRILL_SUITES", "").split()
def source_of(name):
    """A source file by name, wherever its module keeps it."""
    found = glob.glob("QAVPlatform/src/" + name) + glob.glob("QAVToleranceAnalysis/*.m/src/" + name)
    if len(found) != 1:
        sys.exit("fault-drill: no single source named " + name)
    return found[0]


ENGINE, RUN = source_of("QAVDifferentialEvolutionStep.h"), source_of("QAVDifferentialEvolutionRun.h")
REAL, INT, REPORT = source_of("QAVTasGAOptimizer.cpp"), source_of("QAVMathIntGAOptimizer.cpp"), source_of("QAVGAReportWriter.h")
TOL, ELLIPSE = source_of("QAVTasOptimizerTolerancing.cpp"), source_of("QAVTasCovarianceEllipse.cpp")
PARAMS, FIT = source_of("QAVTasOptimizerParametersRun.cpp"), source_of("QAVTasEllipseFitter.cpp")
SHARES, SOLVER = source_of("QAVTasStackupContributions.cpp"), source_of("QAVTasAllocationSolver.cpp")
ROWS, PATH, LAWS = source_of("QAVTasAllocationRows.cpp"), source_of("QAVTasAllocationPath.cpp"), source_of("QAVTasAllocationProblem.cpp")
RSS, SHIFT = source_of("QAVTasRssLaw.cpp"), source_of("QAVTasMeanShiftLaw.cpp")
LP, BASIS, CUTS = source_of("QAVTasSelectionLP.cpp"), source_of("QAVTasSelectionLPBasis.cpp"), source_of("QAVTasCoverCuts.cpp")
SOBOL, DIAGNOSIS = source_of("QAVTasSobolSequence.cpp"), source_of("QAVTasAllocationDiagnosis.cpp")
FIT_SRC = "QAVToleranceAnalysis/QAVTasEllipseFit.m/src/"

# (name, what it breaks, [(file, snippet, replacement)], suite)
FAULTS = [
    ("draw-order", "start gene drawn before the partners",
     [(ENGINE, "    DrawPartners(ioTraits, *iS.populationSize, i, partner);\n",
       "    const std::int32_t start = RandomIndex(ioTraits, d);\n"
       "    DrawPartners(ioTraits, *iS.populationSize, i, partner);\n"),
      (ENGINE, "Crossover::Run(ioTraits, iS.mutatValue, d, RandomIndex(ioTraits, d), setGene);",
       "Crossover::Run(ioTraits, iS.mutatValue, d, start, setGene);")], "release"),
    ("exp-off-by-one", "exponential run may set one gene more than D",
     [(ENGINE, "more = ioTraits.Draw() < iCR && length < iD;", "more = ioTraits.Draw() < iCR && length <= iD;")],
     "release"),
    ("bin-off-by-one", "binomial crossover forces no gene",
     [(ENGINE, "if (ioTraits.Draw() < iCR || length == iD - 1)", "if (ioTraits.Draw() < iCR || length == iD)")],
     "release"),
    ("scheme-swap", "scheme 7 uses the rand-to-best formula",
     [(ENGINE, "case 7:\n      return RunStep<Rand1Scheme, BinomialCrossover",
               "case 7:\n      return RunStep<RandToBest1Scheme, BinomialCrossover")],
     "release"),
    ("int-floor-twice", "integer rand-to-best floors each term",
     [(INT, "std::floor(f * Exact(std::int64_t{b} - t) + f * Exact(std::int64_t{x1} - x2))",
       "std::floor(f * Exact(std::int64_t{b} - t)) + std::floor(f * Exact(std::int64_t{x1} - x2))")], "release"),
    ("tie-loses", "a trial equal to its target loses",
     [(ENGINE, "static bool TrialWins(double iTrial, double iTarget) { return iTrial <= iTarget; }",
       "static bool TrialWins(double iTrial, double iTarget) { return iTrial < iTarget; }")], "release"),
    ("nan-admissible", "a NaN gene passes the limits",
     [(ENGINE, "if (!(iMin[k] <= iCode[k] && iCode[k] <= iMax[k]))", "if (iMin[k] > iCode[k] || iCode[k] > iMax[k])")],
     "release"),
    ("report-field", "accumulated maximum shows the minimum's index",
     [(REPORT, "iNew->_MaxFitness, iNew->_MaxIndex);", "iNew->_MaxFitness, iNew->_MinIndex);")], "release"),
    ("failure-line", "the step's last failure line is lost",
     [(ENGINE, "return ioTraits.Fail(Direction::kMaximizing, StepFailure::NewBest);", "return;")], "release"),
    ("leak", "populations never free their individuals",
     [(REAL, "QAVTasMathGAPopulation::~QAVTasMathGAPopulation()\n{\n  delete[] _Individuals;\n",
       "QAVTasMathGAPopulation::~QAVTasMathGAPopulation()\n{\n")], "asan"),
    ("stop-late", "the generation limit stops one generation late",
     [(RUN, "counters.generations >= ioRun.MaxGenerations())", "counters.generations > ioRun.MaxGenerations())")],
     "release"),
    ("idem-late", "the no-progress limit stops one generation late",
     [(RUN, "counters.idem < ioRun.IdemLimit()", "counters.idem <= ioRun.IdemLimit()")], "release"),
    ("relative-change", "a change of exactly 0.1 % counts as progress",
     [(RUN, "/ iNow) <= 0.001;", "/ iNow) < 0.001;")], "release"),
    ("refresh-period", "periodic reports one generation off",
     [(RUN, "counters.generations % refresh == 1)", "counters.generations % refresh == 0)")], "release"),
    ("direct-sign", "direct form penalises W.X + delta",
     [(TOL, "std::fabs(model.StackUp(j, ipX) - ipX[_Nx + j])", "std::fabs(model.StackUp(j, ipX) + ipX[_Nx + j])")],
     "release"),
    ("multiplier-sign", "multiplier form penalises lambda (WY + Ymax)",
     [(TOL, "(wy - _pYmax[j])", "(wy + _pYmax[j])")], "release"),
    ("eigen-pairing", "semi-axis 1 taken from the other eigenvalue",
     [(ELLIPSE, "std::fabs(k / lambda[1]);", "std::fabs(k / lambda[0]);")], "release"),
    ("cache-never-hits", "the genome cache never reports a hit",
     [(PARAMS, "  if (position == 0)\n    return 0;\n", "  if (position >= 0)\n    return 0;\n")], "release"),
    ("circle-angle-kept", "a circle's angle counts as determined when a - b is within its error",
     [(FIT, "spread * spread <= iSigma2 *", "spread * spread < 0.0 * iSigma2 *")], "release"),
    ("ceres-speaks", "Ceres' log lines reach standard error during a fit",
     [(FIT, "  const QuietCeres quiet;\n", "")], "release"),
    ("band-use-upper", "a linear row's utilisation is value / upper again",
     [(SHARES, "BandUse(s, value)", "value / s.Upper")], "release"),
    ("equality-noise-price", "an equality band is priced by its larger side's multiplier",
     [(SOLVER, "price = std::fabs(iLambda[r] - iLambda[r + 1]) / iRows.RowScale[r];",
       "price = std::max(iLambda[r], iLambda[r + 1]) / iRows.RowScale[r];")],
     "release"),
    # The allocation solver, its laws, the process selection, the yield and the geometric fit.
    ("rows-shift-root", "a mean-shift row's root term forgets (1 - m)",
     [(SHIFT, "return {iM * std::fabs(iS), (1.0 - iM) * iS};", "return {iM * std::fabs(iS), iS};")], "release"),
    ("rows-cone-gradient", "the gradient of a cone row drops one s_ij",
     [(ROWS, "A[k] + scale * B[k] * B[k] * ipT[Var[k]];", "A[k] + scale * B[k] * ipT[Var[k]];")], "release"),
    ("bound-reciprocal-min", "the certificate's inner minimum of b/t + g t is misplaced",
     [(ROWS, "std::sqrt(iCost.B / iG)", "std::sqrt(iCost.B * iG)")], "release"),
    ("newton-cone-curvature", "the Newton matrix takes a cone row's curvature with rho^2",
     [(PATH, "Lambda[r] * _Rows.F[r] / (rho * rho * rho)", "Lambda[r] * _Rows.F[r] / (rho * rho)")], "release"),
    ("phase-one-no-proof", "phase one takes a point not yet feasible for a proof of infeasibility",
     [(PATH, "Infeasible = !Feasible && _Rows.LowerBound(T.data(), Lambda.data(), false) > 0.0;",
       "Infeasible = !Feasible;")], "release"),
    ("law-rss-factor", "the rss law drops its factor",
     [(RSS, "return iStackup.Factor * std::sqrt(squares);", "return std::sqrt(squares);")], "release"),
    ("law-shift-sign", "the mean-shift law adds m s t with the sign of s",
     [(SHIFT, "sum += m * std::fabs(w) * t;", "sum += m * w * t;")], "release"),
    ("lp-rss-factor", "the selection LP's rss row ignores the factor",
     [(LP, "const double root = iS.Limit / law.ConeFactor(iS);", "const double root = iS.Limit;")], "release"),
    ("pivot-leaving-cost", "a pivot gives the leaving variable the opposite reduced cost",
     [(BASIS, "_D[leaving] = -ratio;", "_D[leaving] = ratio;")], "release"),
    ("cover-rhs", "a cover cut allows one choice too few",
     [(CUTS, "static_cast<double>(members.size()) - 1.0;", "static_cast<double>(members.size()) - 2.0;")],
     "release"),
    ("sobol-gray-step", "consecutive Sobol points differ by the wrong direction number",
     [(SOBOL, "x ^= v[__builtin_ctzll(iFirst + i + 1)];", "x ^= v[__builtin_ctzll(iFirst + i + 2)];")], "release"),
    ("yield-sigma", "a normal dimension's sigma is t / 2",
     [(LAWS, "return Sigma > 0.0 ? Sigma : iT / (3.0 * Cp);", "return Sigma > 0.0 ? Sigma : iT / (2.0 * Cp);")],
     "release"),
    ("wilson-width", "Wilson's interval loses its z",
     [(source_of("QAVTasSampleBlocks.cpp"), "const double half = kZ975 * std::sqrt(p * (1.0 - p) / n",
       "const double half = std::sqrt(p * (1.0 - p) / n")],
     "release"),
    ("foot-minor-axis", "the foot point's minor coordinate uses the major axis' weight",
     [(FIT_SRC + "QAVTasEllipseFootPoint.cpp", "x1 = y1 / (s + 1.0);", "x1 = y1 / (s + r0);")], "release"),
    ("fit-angle-jacobian", "the distance's derivative in the angle has a wrong sign",
     [(FIT_SRC + "QAVTasOrthogonalDistanceCost.cpp", "oGradient[4] = foot.normalU * v - foot.normalV * u;",
       "oGradient[4] = foot.normalU * v + foot.normalV * u;")], "release"),
    ("diagnosis-pin-order", "an option in no linear row is pinned at 0, not at its tightest",
     [(DIAGNOSIS, "d.Tolerance = Smallest(d), d.Fixed = true;", "d.Fixed = true, d.Tolerance = Smallest(d);")],
     "release"),
    ("diagnosis-root-factor", "a loosening leaves an rss row without the row's factor",
     [(source_of("QAVTasDiagnosisProgram.cpp"), "ioRows.A[k] += ioRows.F[r] * std::fabs(ioRows.B[k]);",
       "ioRows.A[k] += std::fabs(ioRows.B[k]);")],
     "release"),
    ("diagnosis-no-branching", "the relaxation of the options is taken for a selection",
     [(DIAGNOSIS, "if (ToleranceOf(k, iRuns[k].first) < ToleranceOf(k, iRuns[k].second))",
       "if (false && ToleranceOf(k, iRuns[k].first) < ToleranceOf(k, iRuns[k].second))")], "release"),
    # Stack-up functions, analysis, targets and the model's rules.
    ("expr-cos-partial", "the derivative of cos loses its sign",
     [(source_of("QAVTasExpressionRules.h"), "      oDa = -sin(iA);", "      oDa = sin(iA);")], "release"),
    ("interval-product", "an interval product forgets the corner lo x hi",
     [(source_of("QAVTasInterval.cpp"), "Times(iA.Lo, iB.Hi), Times(iA.Hi, iB.Lo), Times(iA.Hi, iB.Hi)};",
       "Times(iA.Lo, iB.Lo), Times(iA.Hi, iB.Lo), Times(iA.Hi, iB.Hi)};")], "release"),
    ("cpk-far-side", "Cpk measures the margin to the farther limit",
     [(source_of("QAVTasStackupAnalysis.cpp"), "    std::min(ioS.HasUsl ? ioS.Usl - ioS.Mean",
       "    std::max(ioS.HasUsl ? ioS.Usl - ioS.Mean")], "release"),
    ("target-two-sigma", "a capability target's row bounds 2 sigma, not 3",
     [(source_of("QAVTasTargetRows.cpp"), "row.Sensitivity.push_back({i, s * 3.0 * d.SigmaAt(t) / t});",
       "row.Sensitivity.push_back({i, s * 2.0 * d.SigmaAt(t) / t});")], "release"),
    ("validate-factor", "an rss factor below 1 passes validation",
     [(source_of("QAVTasAllocationProblemValidate.cpp"), "s.HasLaw && factor && s.Factor < 1.0)",
       "s.HasLaw && factor && s.Factor < 0.0)")], "release"),
    ("worst-case-collapse", "a monotone variable is set to its worse end",
     [(source_of("QAVTasWorstCase.cpp"), "ioLow[k] = ioHigh[k], changed = true;",
       "ioHigh[k] = ioLow[k], changed = true;")], "release"),
    ("worst-case-slopes", "the mean-value form forgets the slopes over the box",
     [(source_of("QAVTasWorstCase.cpp"), "      form += _G[k] * (_X[k] - _C[k]);\n", "      (void)_G[k];\n")],
     "release"),
    ("tail-threshold", "a tail buffer's bar is its smallest kept value",
     [(source_of("QAVTasTailBuffer.h"), "_Threshold = *std::max_element", "_Threshold = *std::min_element")],
     "release"),
    ("joint-yield-or", "a sample meets the joint requirement when any stack-up meets its own",
     [(source_of("QAVTasStackupSimulation.cpp"), "_Met[k] &= ", "_Met[k] |= ")], "release"),
    ("open-list-dive-bound", "the search's bound forgets the nodes waiting to be dived",
     [(source_of("QAVTasProcessOpenList.h"), "least = std::min(least, node.Bound);", "(void)node;")], "release"),
    ("drawing-full-width", "a plus/minus zone's tolerance is its full width",
     [(source_of("QAVTasAllocationFileDrawing.cpp"),
       "ioDimension.Tolerance = 0.5 * (ioDimension.Plus + ioDimension.Minus);",
       "ioDimension.Tolerance = ioDimension.Plus + ioDimension.Minus;")], "release"),
    ("tangent-at-centre", "a worst case's tangent takes its slopes at the box's centre, not at the extreme",
     [(source_of("QAVTasFunctionAllocation.cpp"), "    x[static_cast<std::size_t>(inputs[k])] = at[k];\n",
       "    (void)at[k];\n")], "release"),
    ("tangent-intercept", "a worst case's tangent row forgets where it touches",
     [(source_of("QAVTasFunctionAllocation.cpp"), "    along += g * iT[static_cast<std::size_t>(i)];",
       "    along += 0.5 * g * iT[static_cast<std::size_t>(i)];")], "release"),
    ("worst-case-law-sign", "the worst-case law adds s t with the sign of s",
     [(source_of("QAVTasWorstCaseLaw.cpp"), "      sum += std::fabs(w) * ipT[i];", "      sum += w * ipT[i];")], "release"),
    ("linear-law-abs", "a linear row's terms lose their sign",
     [(source_of("QAVTasLinearLaw.cpp"), "Term TermOf(double iS, double) const override { return {iS, 0.0}; }",
       "Term TermOf(double iS, double) const override { return {iS < 0.0 ? -iS : iS, 0.0}; }")], "release"),
    ("law-cone-gradient", "a law's cone gradient forgets one factor b_i",
     [(source_of("QAVTasStackupLaw.cpp"), "factor * term.Cone * term.Cone * ipT[i] / norm",
       "factor * term.Cone * ipT[i] / norm")], "release"),
    ("law-root-shares", "a law's root part is shared out only half",
     [(source_of("QAVTasStackupLaw.cpp"), "root * (q / squares)", "0.5 * root * (q / squares)")], "release"),
    ("negligible-all-prices", "every price below the cost's size is dropped",
     [(source_of("QAVTasNegligiblePrices.cpp"), "  if (ioPrice * iSize < iFloor)", "  if (ioPrice * iSize < 1e9 * iFloor)")],
     "release"),
]

def run(cmd, cwd, env=None, timeout=None):
    try:
        return subprocess.run(cmd, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                              timeout=timeout)
    except subprocess.TimeoutExpired:  # a hang is a failure
        return subprocess.CompletedProcess(cmd, 124, "", "")

def sync_mirror():
    """Copies changed tracked and new files into the mirror with a fresh time, so that no copy
    looks older than an object built from a faulted version."""
    files = run(["git", "ls-files", "-co", "--exclude-standard"], ROOT).stdout.split("\n")
    for rel in filter(None, files):
        src, dst = os.path.join(ROOT, rel), os.path.join(SRC, rel)
        if os.path.isfile(src) and not (os.path.exists(dst) and filecmp.cmp(src, dst, shallow=False)):
            os.makedirs(os.path.dirname(dst), exist_ok=True)
            shutil.copyfile(src, dst)
            shutil.copymode(src, dst)

def configure(kind):
    build = os.path.join(MIRROR, kind)
    if not os.path.exists(os.path.join(build, "CMakeCache.txt")):
        flags = ["-DCMAKE_BUILD_TYPE=RelWithDebInfo"] if kind == "release" else [
            "-DCMAKE_BUILD_TYPE=Debug", "-DQAV_SANITIZE=ON"]
        if shutil.which("ccache"):
            flags.append("-DCMAKE_CXX_COMPILER_LAUNCHER=ccache")
        r = run(["cmake", "-S", SRC, "-B", build] + flags, ROOT)
        if r.returncode:
            sys.exit(r.stdout)
    return build

def build(kind):
    targets = ["--target"] + ASAN_SUITES if kind == "asan" else \
        ["--target", "qavtas"] + RELEASE_SUITES if RELEASE_SUITES else []
    return run(["cmake", "--build", configure(kind), "-j", JOBS] + targets, ROOT).returncode == 0

def build_and_test(kind):
    """Names of the failing tests, or None when the build fails."""
    if not build(kind):
        return None
    where = os.path.join(MIRROR, kind)
    if kind == "asan":  # whole suites, not ctest: a leak report comes at the suite's exit
        env = dict(os.environ, ASAN_OPTIONS="detect_leaks=1:halt_on_error=1", UBSAN_OPTIONS="halt_on_error=1")
        return [s for s in ASAN_SUITES if run([os.path.join(where, s)], where, env).returncode]
    if RELEASE_SUITES:  # the failing tests of each suite, by name
        failed = []
        for suite in RELEASE_SUITES:
            r = run([os.path.join(where, suite)], where, timeout=600)
            names = [t.rstrip(",") for t in re.findall(r"^\[  FAILED  \] (\S+)", r.stdout, re.M) if "." in t]
            names = [t for k, t in enumerate(names) if t not in names[:k] and t not in failed]
            failed += names or ([suite] if r.returncode else [])
        return failed
    out = run(["ctest", "-j", JOBS, "--timeout", "300"], where).stdout
    return re.findall(r"^\s*\d+ - (\S+) \(", out.split("The following tests FAILED:")[-1], re.M) \
        if "The following tests FAILED:" in out else []

def apply(edits):
    originals = {}
    for rel, old, new in edits:
        path = os.path.join(SRC, rel)
        text = originals.get(rel) or open(path).read()
        originals.setdefault(rel, text)
        current = open(path).read()
        if current.count(old) != 1:
            restore(originals)
            sys.exit(f"fault snippet not found exactly once in {rel}: {old!r}")
        open(path, "w").write(current.replace(old, new))
    return originals

def restore(originals):
    for rel, text in originals.items():
        open(os.path.join(SRC, rel), "w").write(text)  # a fresh time: the next build recompiles it

def main(args):
    if args[:1] == ["--list"]:
        print("\n".join(f"{n:24} {what}" for n, what, _, _ in FAULTS))
        return
    if args[:1] == ["--check"]:  # every snippet still in place, without building
        bad = [(n, rel) for n, _, edits, _ in FAULTS for rel, old, _ in edits
               if open(os.path.join(ROOT, rel)).read().count(old) != 1]
        sys.exit("\n".join(f"{n}: snippet moved in {rel}" for n, rel in bad) if bad else 0)
    chosen = [f for f in FAULTS if not args or f[0] in args]
    sync_mirror()
    for kind in sorted({f[3] for f in chosen}):
        if build_and_test(kind) != []:
            sys.exit(f"the {kind} suite fails without any fault: fix it first")
    print("| Fault | What it breaks | File | Caught by |\n|---|---|---|---|")
    missed = 0
    for name, what, edits, kind in chosen:
        originals = apply(edits)
        try:
            failed = build_and_test(kind)
        finally:
            restore(originals)
        caught = "build fails" if failed is None else (", ".join(failed[:3]) + (" ..." if len(failed) > 3 else "")
                                                      if failed else "NOT CAUGHT")
        missed += failed == []
        files = ", ".join(sorted({os.path.basename(e[0]) for e in edits}))
        print(f"| {name}{' (ASan)' if kind == 'asan' else ''} | {what} | {files} | {caught} |", flush=True)
    build("release")  # leaves the mirror's build matching the tree
    sys.exit(1 if missed else 0)

main(sys.argv[1:])
PY

'use strict';
// The packer kept warm: loads the bundled packer once and runs its command
// line again for each request, in this one process, with its worker pools
// kept alive between requests. Started by the application (PackerService):
//
//   <runtime> --max-semi-space-size=2 --expose-gc packer-service.cjs <packer script>
//             [--value-options=--a,--b] [--flag-options=--c,--d] [--pool-idle-ms=N]
//
// where the packer script is .../repomix/bin/repomix.cjs, and the two lists
// name the packer's options the application's option table passes (with a
// value, and alone), which are served besides the job's own (see
// VALUE_OPTIONS). The flags change
// nothing but memory use: the first keeps the young generation of every
// thread's heap small (a long-lived process with kept worker threads
// otherwise holds hundreds of megabytes it no longer uses), the second lets
// the script collect garbage when it goes idle.
//
// Protocol. Requests arrive on standard input, one JSON object a line:
//
//   {"id": 1, "args": ["--output", "/tmp/x.txt", "--style", "plain", "--verbose", "/dir"], "cwd": "/work"}
//
// `args` is the packer's command line after the script (the job arguments,
// then the directory), `cwd` the working directory of the run. A run with
// "--stdin" (a file list instead of the directory) has the list in "stdin":
// the text the command line would read on its standard input. The
// environment is this process's own: a run that needs another environment
// needs another service. One request is served at a time; later ones wait.
//
// Frames go to standard output, each on one line: the byte 0x1E, one JSON
// object, a line feed. JSON escapes control characters inside strings, so
// 0x1E never occurs in a frame's body; a reader takes a frame from the last
// 0x1E of a line and ignores everything else. Every write to process.stdout
// and process.stderr (the packer's console, its worker threads' consoles,
// Node's warnings) is captured for the request being served or dropped; it
// never reaches the real streams, so only frames do.
//
//   {"ready": true, "packer": "1.18.1"}      once, when the packer is loaded and warm
//   {"id": 1, "exitCode": 0,                 the exit status the command line would have had
//    "stdout": "...", "stderr": "...",       what it would have printed on each stream,
//                                            but for the packer's trace lines (see
//                                            quietTrace)
//    "stdoutUtf8": true, "stderrUtf8": true, false: those bytes were not valid UTF-8
//    "files": [["src/a.js", 120, 31], ...],  each packed file: path in the packed
//                                            directory, characters, tokens
//    "excluded": ["secrets.env"],            files the secret scan left out
//    "steps": [["search", 12, 80], ...],     the packer's steps: when each began and
//                                            ended, in ms since the run began
//                                            ("listedSearch": a list looked up file by file)
//    "duration": 950,                        the whole run, in ms
//    "kept": {"processed": [990, 10],        files whose processing and scan were kept
//             "scanned": [990, 10]},         from earlier requests, and those done anew
//                                            (kept-work.cjs)
//    "rss": 123456789,                       this process's resident bytes afterwards
//    "retire": false}                        true: this process ends now
//   {"id": 1, "progress": ["Calculating metrics", 120, 300]}
//                                            how far the run is, as its report says it
//                                            (at most a few a second)
//   {"resident": 123456789}                  resident bytes once idle after runs, garbage collected
//   {"id": 1, "refused": "why"}              this request is not served here: run the
//   ("retire": true when the process ends)   command line instead (also when a worker
//                                            thread failed under a run that then failed:
//                                            the command line gives the true answer)
//
// A `process.exit` inside the packer ends the request with that status, not
// this process; an uncaught error fails the request with status 1, as the
// command line's handlers would, and retires the process. The process ends
// when its standard input closes, so it never outlives the application; when
// it cannot serve (another packer version, an older runtime, a failed
// warm-up) it says why on standard error and ends with status 2 before the
// ready frame.
//
// How the packer is kept warm: module customization hooks registered by this
// script, in this process only (the files on disk and every one-shot run of
// the packer stay as they are), hand four of the packer's modules a thin
// wrapper:
//
// - shared/processConcurrency.js: `initTaskRunner` gives runners on pools that
//   are kept (one per worker type, runtime, thread limit and log level: the
//   workers take the log level of their pool's creation, here at most the
//   level the packer logs at without "--verbose") and whose `cleanup`
//   leaves the pool running, so tokenizers and parsers stay loaded in the
//   workers. Every task started during a request settles before the request
//   is answered, so nothing of one request runs on into the next.
// - commander, as imported by cli/cliRun.js: a fresh `program` for each
//   request, so the packer's own command line definition, parsing and error
//   handling run unchanged every time.
// - cli/actions/defaultAction.js: `runDefaultAction` also hands its result
//   (the per-file counts) to this script.
// - core/output/outputSort.js: gains a function that forgets its git caches,
//   called before each request.
// - the steps listed in WRAPPED: timed for the response, and the processing
//   and the secret scan of each file kept for later requests (kept-work.cjs).
// - core/file/fileSearch.js: a search given a list of files looks each one up
//   instead of globbing for it, where the answer is the same (listedSearch);
//   the glob library (globby) lends its ignore-file filter for that.
//
// The hooks rely on the inner layout of one packer version, PACKER_VERSION; any
// other version is refused at start, and the application runs the command line
// as before. tst_packer_service proves that the output files and totals are
// those of the command line.

const PACKER_VERSION = '1.18.1';

const nodeModule = require('node:module');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');
const readline = require('node:readline');
const readlinePromises = require('node:readline/promises');
const { Readable } = require('node:stream');
const util = require('node:util');
const { pathToFileURL } = require('node:url');
const { KeptWork } = require('./kept-work.cjs');

// The same compile cache as the command line (bin/repomix.cjs).
function enableCompileCache() {
  if (!nodeModule.enableCompileCache || process.env.NODE_DISABLE_COMPILE_CACHE) return;
  try {
    const result = nodeModule.enableCompileCache();
    if (result && result.directory && !process.env.NODE_COMPILE_CACHE) {
      process.env.NODE_COMPILE_CACHE = result.directory;
    }
  } catch {
    // Ignored, as the command line does.
  }
}

const realExit = process.exit.bind(process);
const realStdoutWrite = process.stdout.write;
const realStderrWrite = process.stderr.write;

// Says on the real standard error why this process cannot serve, and ends.
function fail(message) {
  realStderrWrite.call(process.stderr, `packer-service: ${message}\n`, () => realExit(2));
}

function sendFrame(frame, done) {
  realStdoutWrite.call(process.stdout, `\x1e${JSON.stringify(frame)}\n`, done);
}

// ---- The packer ------------------------------------------------------------------

const packerScript = process.argv[2] || '';
// --pool-idle-ms=N: how long an extra worker of a kept pool may stay idle
// before it ends (the packer's own choice when not given; tests shorten it).
const poolIdleMs = (() => {
  const option = process.argv.slice(3).find((arg) => arg.startsWith('--pool-idle-ms='));
  const value = option ? Number(option.slice('--pool-idle-ms='.length)) : NaN;
  return Number.isInteger(value) && value >= 0 ? value : undefined;
})();

// The application's own options, as it lists them after the packer script.
function listedOptions(name) {
  const given = process.argv.slice(3).find((arg) => arg.startsWith(`${name}=`));
  return given ? given.slice(name.length + 1).split(',').filter((option) => option.startsWith('--')) : [];
}
const packerRoot = path.resolve(path.dirname(packerScript), '..');
const libUrl = (file) => pathToFileURL(path.join(packerRoot, 'lib', file)).href;
const urls = {
  cliRun: libUrl('cli/cliRun.js'),
  processConcurrency: libUrl('shared/processConcurrency.js'),
  logger: libUrl('shared/logger.js'),
  defaultAction: libUrl('cli/actions/defaultAction.js'),
  outputSort: libUrl('core/output/outputSort.js'),
  tokenCountCache: libUrl('core/metrics/tokenCountCache.js'),
};

// Functions of the packer that this script wraps: the module, the function,
// and the wrapper (an expression over `real`, the module, and `service`).
// `timed` records when a step ran; `kept` re-does only what changed.
const WRAPPED = [
  ['core/packager.js', 'pack', "service.timed('pack', service.kept.pack(real.pack))"],
  ['core/file/fileSearch.js', 'searchFiles', "service.listedSearch(real, service.timed('search', real.searchFiles))"],
  ['core/file/fileCollect.js', 'collectFiles', "service.timed('read', service.kept.collectFiles(real.collectFiles))"],
  ['core/file/fileProcess.js', 'processFiles', "service.timed('process', service.kept.processFiles(real.processFiles, (...args) => service.kept.packer.resolveFileLevel(...args)))"],
  ['core/security/validateFileSafety.js', 'validateFileSafety', "service.timed('security', real.validateFileSafety)"],
  ['core/security/securityCheck.js', 'runSecurityCheck', 'service.kept.runSecurityCheck(real.runSecurityCheck)'],
  ['core/output/outputSort.js', 'sortOutputFiles', "service.timed('sort', real.sortOutputFiles)"],
  ['core/packager/produceOutput.js', 'produceOutput', "service.timed('output', real.produceOutput)"],
  ['core/metrics/calculateMetrics.js', 'calculateMetrics', "service.timed('metrics', real.calculateMetrics)"],
  ['core/metrics/calculateFileMetrics.js', 'calculateFileMetrics', 'service.kept.calculateFileMetrics(real.calculateFileMetrics)'],
  ['core/metrics/tokenCountCache.js', 'saveTokenCountCache', "service.timed('cacheSave', real.saveTokenCountCache)"],
  ['cli/cliReport.js', 'reportResults', "service.timed('report', real.reportResults)"],
  ['core/file/fileStdin.js', 'readFilePathsFromStdin', 'service.requestInput(real.readFilePathsFromStdin)'],
];

function readPackerVersion() {
  try {
    return JSON.parse(fs.readFileSync(path.join(packerRoot, 'package.json'), 'utf8')).version;
  } catch (error) {
    return `none (${error.message})`;
  }
}

// Why this process cannot serve, or null.
function unservable(packerVersion) {
  if (!packerScript) return 'usage: packer-service.cjs <packer script>';
  if (packerVersion !== PACKER_VERSION) {
    return `written for the packer ${PACKER_VERSION}, found ${packerVersion} in ${packerRoot}`;
  }
  if (typeof nodeModule.registerHooks !== 'function') {
    return `Node.js ${process.versions.node} has no module.registerHooks (22.15 or later is needed)`;
  }
  return null;
}

// ---- The hooks -------------------------------------------------------------------

// What the wrappers reach this script through.
const service = {};
// Where the process waits between runs: a run's working directory is the
// staging folder, which goes when the run ends, and a process whose working
// directory is gone fails wherever something asks for it.
const restingDirectory = process.cwd();
service.kept = new KeptWork({
  packer: {}, // filled in by main()
  onFault: (error) => {
    if (current && !current.internalFailure) current.internalFailure = error;
  },
});
globalThis[Symbol.for('lumbrel.packerService')] = service;

const SHIM = '?lumbrel-service-shim';

function wrapperShims() {
  const byModule = new Map();
  for (const [file, name, wrapper] of WRAPPED) {
    const url = libUrl(file);
    if (!byModule.has(url)) byModule.set(url, []);
    byModule.get(url).push(`export const ${name} = ${wrapper};`);
  }
  const shims = {};
  for (const [url, exports] of byModule) {
    shims[url] = (real) => `
      import * as real from ${JSON.stringify(real)};
      export * from ${JSON.stringify(real)};
      const service = globalThis[Symbol.for('lumbrel.packerService')];
      ${exports.join('\n')}`;
  }
  return shims;
}
const shimSources = {
  ...wrapperShims(),
  [urls.processConcurrency]: (real) => `
    import * as real from ${JSON.stringify(real)};
    import { logger } from ${JSON.stringify(urls.logger)};
    export * from ${JSON.stringify(real)};
    export const initTaskRunner = globalThis[Symbol.for('lumbrel.packerService')].keptTaskRunners(real, logger);`,
  [urls.defaultAction]: (real) => `
    import * as real from ${JSON.stringify(real)};
    export * from ${JSON.stringify(real)};
    export const runDefaultAction = async (...args) => {
      const result = await real.runDefaultAction(...args);
      globalThis[Symbol.for('lumbrel.packerService')].packed(result);
      return result;
    };`,
  commander: (real) => `
    import * as real from ${JSON.stringify(real)};
    export * from ${JSON.stringify(real)};
    export let program = new real.Command();
    globalThis[Symbol.for('lumbrel.packerService')].renewProgram = () => { program = new real.Command(); };`,
};

// The worker pools (tinypool) end a worker that stayed idle beyond their idle
// time-out with a last "teardown" message to it. The reply to that message
// makes the pool offer the worker again, although it has already left the
// pool: a task queued at that moment goes to the worker being ended and
// fails with "Terminating worker thread". A one-shot run rarely lives long
// enough to meet it; kept pools meet it whenever a request starts as a
// worker's idle time runs out. The pool offers a worker only while it holds it.
const TINYPOOL_ENTRY = '/node_modules/tinypool/dist/index.js';
const ORPHAN_DISPATCH = 'maybeAvailable(item) {';
let poolModulePatched = false;
function withoutOrphanDispatch(source) {
  poolModulePatched = true;
  if (!source.includes(ORPHAN_DISPATCH)) throw new Error('the worker pool module is not the one this service was written for');
  return source.replace(
    ORPHAN_DISPATCH,
    `${ORPHAN_DISPATCH} if (!this.pendingItems.has(item) && !this.readyItems.has(item)) return;`,
  );
}

// The glob library's filter for ignore files (.gitignore, .ignore,
// .repomixignore), as it builds it for a search with the same options: lent
// to listedSearch, so that a list looked up file by file leaves out exactly
// what the library's own search leaves out.
const GLOBBY_ENTRY = '/node_modules/globby/index.js';
const GLOBBY_FILTER = ['const normalizeOptions = (', 'const applyIgnoreFilesAndGetFilter = async options => {'];
function withIgnoreFilter(source) {
  if (!GLOBBY_FILTER.every((part) => source.includes(part))) {
    throw new Error('the glob module is not the one this service was written for');
  }
  return `${source}
globalThis[Symbol.for('lumbrel.packerService')].ignoreFilter = async (options) =>
  (await applyIgnoreFilesAndGetFilter(normalizeOptions(options))).filter;
`;
}

function registerHooks() {
  nodeModule.registerHooks({
    resolve(specifier, context, nextResolve) {
      const resolved = nextResolve(specifier, context);
      const parent = context.parentURL || '';
      if (parent.endsWith(SHIM)) return resolved; // a wrapper importing what it wraps
      if (shimSources[resolved.url] || (specifier === 'commander' && parent === urls.cliRun)) {
        return { ...resolved, url: resolved.url + SHIM, shortCircuit: true };
      }
      return resolved;
    },
    load(url, context, nextLoad) {
      if (url.endsWith(SHIM)) {
        const real = url.slice(0, -SHIM.length);
        const source = (shimSources[real] || shimSources.commander)(real);
        return { format: 'module', source, shortCircuit: true };
      }
      if (url.endsWith(GLOBBY_ENTRY)) {
        const loaded = nextLoad(url, context);
        return { ...loaded, source: withIgnoreFilter(String(loaded.source)), shortCircuit: true };
      }
      if (url.endsWith(TINYPOOL_ENTRY)) {
        const loaded = nextLoad(url, context);
        return { ...loaded, source: withoutOrphanDispatch(String(loaded.source)), shortCircuit: true };
      }
      if (url === urls.outputSort) {
        const loaded = nextLoad(url, context);
        const source = `${loaded.source}
export const __lumbrelForgetRunState = () => { fileChangeCountsCache.clear(); gitAvailabilityCache.clear(); };
`;
        return { ...loaded, source, shortCircuit: true };
      }
      return nextLoad(url, context);
    },
  });
}

// ---- Kept worker pools -----------------------------------------------------------

const keptPools = new Map();
const runningTasks = new Set();

// The workers of kept pools log at most what the packer logs without
// "--verbose": with it, each worker sends a line or two for every file it
// handles to this thread (some 20,000 lines for 10,000 files, a fifth of a
// run's time), and none of them says anything the application reads. What
// this thread logs stays as the command line logs it.
const WORKER_LOG_LEVEL = 2; // the packer's INFO (shared/logger.js)

service.keptTaskRunners = (real, logger) => (options) => {
  const runtime = options.runtime || 'child_process';
  const level = Math.min(logger.getLogLevel(), WORKER_LOG_LEVEL);
  const key = [options.workerType, runtime, options.maxWorkerThreads, level].join('|');
  let pool = keptPools.get(key);
  if (!pool) {
    // As many threads as the packer would give this pool for the largest
    // tree; idle ones beyond the first end after the packer's idle time-out.
    // The workers take the log level of the pool's creation.
    const runLevel = logger.getLogLevel();
    logger.setLogLevel(level);
    try {
      pool = real.createWorkerPool({ ...options, runtime, numOfTasks: Number.MAX_SAFE_INTEGER });
    } finally {
      logger.setLogLevel(runLevel);
    }
    if (poolIdleMs !== undefined) pool.options.idleTimeout = poolIdleMs;
    keptPools.set(key, pool);
  }
  return {
    run: (task) => {
      const running = pool.run(task);
      const owner = current;
      const settled = running.then(
        () => runningTasks.delete(settled),
        (error) => {
          runningTasks.delete(settled);
          if (owner && !owner.internalFailure) owner.internalFailure = error;
        },
      );
      runningTasks.add(settled);
      return running;
    },
    cleanup: async () => {},
  };
};

async function tasksSettled() {
  while (runningTasks.size > 0) await Promise.all([...runningTasks]);
}

// ---- The packer's search over a list --------------------------------------------

// The packer searches for a list of files (its "--stdin") by handing each
// listed path to its glob library as a pattern of its own; the library then
// matches every path it finds in a folder against every pattern of that
// folder: seconds for 10,000 files, on every run. Here each listed file is
// looked up on its own instead, wherever the library would take its pattern
// for the one file it names and nothing else can differ:
//
// - no include patterns besides the list, no empty folders asked for, no
//   search confined to the folder's real path;
// - no ignore pattern that could match inside the folder (with the packer's
//   default patterns off, the only one is its output, which lies outside);
// - each listed path inside the folder, and a regular file (not followed if
//   a link: the search follows none); one that is missing, a FIFO or a
//   socket is skipped, as the search skips it; a listed folder or link,
//   which the library would expand or skip, or any other error leaves the
//   answer to the packer's search;
// - what the ignore files leave out is asked of the library's own filter,
//   built from the options the search would give it.
//
// The answer is sorted as the packer sorts it. Returns null where the
// packer's own search must answer.
async function searchList(search, rootDir, config, explicitFiles, confineToBaseDir) {
  if (!Array.isArray(explicitFiles) || explicitFiles.length === 0 || confineToBaseDir) return null;
  if (config.include.length > 0 || config.output.includeEmptyDirectories) return null;
  if (typeof service.ignoreFilter !== 'function' || typeof service.sortPaths !== 'function') return null;
  const root = await fs.promises.stat(rootDir).catch(() => null);
  if (!root || !root.isDirectory()) return null; // the packer's search says what is wrong

  const ignore = [...(await search.getIgnorePatterns(rootDir, config))].map(search.normalizeGlobPattern);
  if (!ignore.every((pattern) => pattern.startsWith('../'))) return null;
  if (ignore.some((pattern) => IGNORE_FILE_NAMES.has(path.posix.basename(pattern)))) return null; // deferred by the search

  const files = [];
  const found = new Map(); // the full path of each file → what lstat said of it
  const seen = new Set();
  for (const explicit of explicitFiles) {
    const file = path.relative(rootDir, explicit);
    if (file === '' || file === '..' || file.startsWith(`..${path.sep}`) || path.isAbsolute(file)) return null;
    if (seen.has(file)) continue;
    seen.add(file);
    let stats;
    try {
      stats = fs.lstatSync(path.join(rootDir, file), { throwIfNoEntry: false });
    } catch {
      return null;
    }
    if (stats === undefined) continue;
    if (stats.isDirectory() || stats.isSymbolicLink()) return null;
    if (stats.isFile()) {
      files.push(file.split(path.sep).join('/'));
      found.set(path.resolve(rootDir, file), stats);
    }
  }
  // The filter asks whether each file is a folder (with stat, which follows
  // a last link: none here); it is told what lstat found rather than asking
  // the system again for every file. Everything else it does, the search for
  // ignore files included, goes to the file system as always.
  const promises = Object.create(fs.promises, {
    stat: { value: (file, ...rest) => (found.has(file) ? Promise.resolve(found.get(file)) : fs.promises.stat(file, ...rest)) },
  });
  const filter = await service.ignoreFilter({
    fs: Object.create(fs, { promises: { value: promises } }),
    cwd: rootDir,
    ignore,
    gitignore: config.ignore.useGitignore,
    ignoreFiles: await search.getIgnoreFilePatterns(config),
    absolute: false,
    dot: true,
    followSymbolicLinks: false,
    onlyFiles: true,
  });
  const kept = await Promise.all(files.map((file) => filter(file)));
  return { filePaths: service.sortPaths(files.filter((_, i) => kept[i])), emptyDirPaths: [] };
}
const IGNORE_FILE_NAMES = new Set(['.gitignore', '.ignore', '.repomixignore']);

// The packer's `searchFiles` (module `search`, `searchFiles` its timed
// function): a list where searchList can answer, else the packer's own.
// Timed as "listedSearch" where the list answered.
service.listedSearch = (search, searchFiles) => async (rootDir, config, explicitFiles, confineToBaseDir) => {
  const run = current;
  const start = performance.now();
  // Whatever goes wrong in the look-up, the packer's own search says it as it would.
  const listed = run ? await searchList(search, rootDir, config, explicitFiles, confineToBaseDir).catch(() => null) : null;
  if (!listed) return searchFiles(rootDir, config, explicitFiles, confineToBaseDir);
  run.steps.push(['listedSearch', Math.round(start - run.began), Math.round(performance.now() - run.began)]);
  return listed;
};

// ---- One run of the command line, captured ---------------------------------------

let runCommandLine; // the packer's own `run` (cli/cliRun.js)
let forgetRunState; // outputSort's added function
let current = null; // the run being served

class ExitSignal extends Error {
  constructor(code) {
    super(`process.exit(${code})`);
    this.name = 'PackerServiceExit';
  }
}

// The steps whose progress the report prints as "Step... (done/total)".
const PROGRESS = /(Collect file|Processing file|Running security check|Calculating metrics)\.\.\. \((\d+)\/(\d+)\)/g;
const PROGRESS_INTERVAL_MS = 200;

function reportProgress(run, bytes) {
  const now = Date.now();
  if (now - (run.progressSent || 0) < PROGRESS_INTERVAL_MS) return;
  let last = null;
  for (const match of bytes.toString('utf8').matchAll(PROGRESS)) last = match;
  if (!last) return;
  run.progressSent = now;
  sendFrame({ id: run.id, progress: [last[1], Number(last[2]), Number(last[3])] });
}

// The packer's trace lines on this thread (with "--verbose" three or more
// for every file, some 30,000 for 10,000 files: a fifth of a run's time)
// are left out of the answer; the progress they tell is still sent. Its
// debug lines (the files skipped as binary among them) and everything it
// logs above stay as the command line prints them.
function quietTrace(logger) {
  logger.trace = (...args) => {
    if (current && !current.ended && current.id !== undefined && typeof args[0] === 'string') {
      reportProgress(current, args[0]);
    }
  };
}

function capture(stream) {
  return function write(chunk, encoding, callback) {
    if (typeof encoding === 'function') {
      callback = encoding;
      encoding = undefined;
    }
    if (current && !current.ended) {
      const bytes = typeof chunk === 'string' ? Buffer.from(chunk, encoding || 'utf8') : Buffer.from(chunk);
      current[stream].push(bytes);
      if (stream === 'stdout' && current.id !== undefined) reportProgress(current, bytes);
    }
    if (callback) process.nextTick(callback);
    return true;
  };
}

function decode(chunks) {
  const bytes = Buffer.concat(chunks);
  try {
    return { text: new TextDecoder('utf-8', { fatal: true }).decode(bytes), utf8: true };
  } catch {
    return { text: bytes.toString('utf8'), utf8: false };
  }
}

// The command line ends here: nothing it prints later counts, as nothing
// would be printed after its exit.
function endRun(code) {
  if (!current || current.ended) return;
  const run = current;
  const status = Number(code);
  run.exitCode = Number.isInteger(status) ? status & 0xff : 1; // as the system reports it
  run.ended = true;
  // After the promise reactions already due, so that a run that fails
  // through process.exit has settled by then.
  setImmediate(() => finishRun(run));
}

async function finishRun(run) {
  // Nothing the packer started may run on into the next request: wait for its
  // tasks, then for the console lines its worker threads sent on the way.
  await tasksSettled();
  await new Promise((resolve) => setImmediate(resolve));
  await new Promise((resolve) => setImmediate(resolve));
  current = null;
  process.exitCode = undefined;
  run.resolve({
    exitCode: run.exitCode,
    stdout: decode(run.stdout),
    stderr: decode(run.stderr),
    packResult: run.exitCode === 0 ? run.packResult : undefined,
    steps: run.steps,
    duration: Math.round(performance.now() - run.began),
    retire: run.retire || !run.settled || Boolean(run.internalFailure), // something of it still pends, or broke
    internalFailure: run.exitCode !== 0 ? run.internalFailure : undefined,
  });
}

function exitDuringRun(code) {
  if (!current) realExit(code);
  endRun(code ?? process.exitCode ?? 0);
  throw new ExitSignal(code);
}

function onUncaught(label, error) {
  if (error instanceof ExitSignal) return; // an exit from a callback, recorded
  if (!current) {
    fail(`${label}: ${util.inspect(error)}`);
    return;
  }
  // What was running is in an unknown state: this process retires after the
  // request. Before the command line's end, it ends as the command line's
  // handlers would end it: with the error on standard error and status 1.
  current.retire = true;
  if (current.ended) return;
  console.error(`${label}:`, error);
  endRun(1);
}

// `fn` as it is, recording in the current run when each call began and
// ended (milliseconds since the run began). Calls that overlap are recorded
// as they are: the packer runs some steps side by side.
service.timed = (step, fn) => {
  if (typeof fn !== 'function') throw new Error(`the packer has no function for the step ${step}`);
  return function timedStep(...args) {
    const run = current;
    if (!run) return fn.apply(this, args);
    const start = performance.now();
    const record = () => run.steps.push([step, Math.round(start - run.began), Math.round(performance.now() - run.began)]);
    const result = fn.apply(this, args);
    if (result && typeof result.then === 'function') {
      return result.finally(record);
    }
    record();
    return result;
  };
};

// The packer's `readFilePathsFromStdin`, reading the request's "stdin"
// instead of this process's standard input (which carries the requests).
service.requestInput = (realRead) => (cwd, deps) =>
  realRead(
    cwd,
    deps ?? { stdin: Readable.from([current?.stdin ?? '']), createReadlineInterface: readlinePromises.createInterface },
  );

service.packed = (result) => {
  if (current && !current.ended) current.packResult = result && result.packResult;
};

// Runs the packer's command line with `args` in the current directory;
// `stdin` is what it reads on its standard input, if anything.
function runCaptured(args, id, stdin) {
  return new Promise((resolve) => {
    const run = { id, stdin, stdout: [], stderr: [], steps: [], began: performance.now(), ended: false, settled: false, retire: false, resolve };
    current = run;
    process.argv = [process.execPath, packerScript, ...args];
    process.exitCode = undefined;
    forgetRunState();
    service.renewProgram();
    runCommandLine().then(
      () => {
        run.settled = true;
        endRun(process.exitCode ?? 0);
      },
      (error) => {
        run.settled = true;
        if (error instanceof ExitSignal || run.ended) return;
        // As the command line's outermost handler would print it.
        if (error instanceof Error) {
          console.error('Fatal Error:', { name: error.name, message: error.message, stack: error.stack });
        } else {
          console.error('Fatal Error:', error);
        }
        endRun(1);
      },
    );
  });
}

// ---- Requests ---------------------------------------------------------------------

// The options the application passes, "--verbose" always among them: its
// worker pools are kept at that log level, and without it the packer draws a
// progress spinner. These are the job's own; the application adds those of
// its option table on this script's command line. Anything else is left to
// the command line. tst_packer_service runs every option of the table
// through here against the command line.
const VALUE_OPTIONS = new Set(['--output', '--ignore', '--include', ...listedOptions('--value-options')]);
const FLAG_OPTIONS = new Set([
  '--verbose',
  '--no-default-patterns', // the staging applied the default rules per chosen folder
  '--stdin', // the staging linked the chosen items: the files come with the request
  ...listedOptions('--flag-options'),
]);

function refusal(request) {
  const { args, cwd } = request;
  if (!Array.isArray(args) || !args.every((a) => typeof a === 'string')) return 'the arguments are not a list of texts';
  if (typeof cwd !== 'string' || !path.isAbsolute(cwd)) return 'the working directory is not an absolute path';
  if (!args.includes('--verbose')) return 'only runs with --verbose are served';
  if (args.includes('--stdin') !== (typeof request.stdin === 'string')) return '--stdin comes with the text of "stdin"';
  for (let i = 0; i < args.length; ++i) {
    const arg = args[i];
    if (VALUE_OPTIONS.has(arg)) {
      // The next argument is the value, whatever it looks like, as the
      // packer's own parser takes it for an option that needs one.
      if (args[++i] === undefined) return `${arg} needs a value`;
    } else if (arg.startsWith('-')) {
      if (!FLAG_OPTIONS.has(arg)) return `the option ${arg} is not served`;
    }
  }
  return null;
}

function fileCounts(packResult) {
  if (!packResult) return { files: [], excluded: [] };
  const chars = packResult.fileCharCounts || {};
  const tokens = packResult.fileTokenCounts || {};
  const inOutputOrder = (packResult.processedFiles || []).map((file) => file.path);
  const paths = inOutputOrder.length > 0 ? inOutputOrder : Object.keys(chars);
  return {
    files: paths.map((p) => [p, chars[p] ?? 0, tokens[p] ?? 0]),
    excluded: (packResult.suspiciousFilesResults || []).map((result) => result.filePath),
  };
}

async function serve(request) {
  const why = refusal(request);
  if (why) return { id: request.id, refused: why };
  try {
    process.chdir(request.cwd);
  } catch (error) {
    return { id: request.id, refused: `cannot enter the working directory: ${error.message}` };
  }
  service.kept.beginRequest();
  const run = await runCaptured(request.args, request.id, request.stdin);
  try {
    process.chdir(restingDirectory);
  } catch {
    // It stays where the run was; the next run enters its own directory first.
  }
  service.kept.trim();
  if (run.internalFailure) {
    // A failure of this process, not of the run: the command line answers instead.
    const why = run.internalFailure instanceof Error ? run.internalFailure.message : String(run.internalFailure);
    return { id: request.id, refused: `the service failed inside the run (${why})`, retire: true };
  }
  return {
    id: request.id,
    exitCode: run.exitCode,
    stdout: run.stdout.text,
    stderr: run.stderr.text,
    stdoutUtf8: run.stdout.utf8,
    stderrUtf8: run.stderr.utf8,
    ...fileCounts(run.packResult),
    steps: run.steps,
    duration: run.duration,
    kept: service.kept.counts,
    rss: process.memoryUsage.rss(),
    retire: run.retire,
  };
}

const queue = [];
let serving = false;

async function serveQueue() {
  if (serving) return;
  serving = true;
  while (queue.length > 0) {
    let frame;
    try {
      frame = await serve(queue.shift());
    } catch (error) {
      fail(`cannot serve: ${util.inspect(error)}`);
      return;
    }
    if (frame.retire) {
      sendFrame(frame, () => realExit(0));
      return; // serving stays set: nothing more is taken
    }
    sendFrame(frame);
  }
  serving = false;
  setImmediate(reportIdleMemory);
}

// Once nothing is left to serve: collect what the runs left behind (with
// --expose-gc), and say how much memory this process holds while idle.
function reportIdleMemory() {
  if (serving) return;
  if (typeof globalThis.gc === 'function') globalThis.gc();
  sendFrame({ resident: process.memoryUsage.rss() });
}

function readRequests() {
  const lines = readline.createInterface({ input: process.stdin, crlfDelay: Infinity });
  lines.on('line', (line) => {
    let request;
    try {
      request = JSON.parse(line);
    } catch {
      return; // not a request
    }
    if (request === null || typeof request !== 'object') return;
    queue.push(request);
    serveQueue();
  });
  // The application has gone, or lets the service go: end at once, also in
  // the middle of a request.
  lines.on('close', () => realExit(0));
}

// ---- Start -----------------------------------------------------------------------

// One small run in a private temporary folder, so that the first request
// finds the pools running and the packer's lazily loaded parts loaded.
async function warmUp() {
  const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'lumbrel-service-'));
  const input = path.join(folder, 'input');
  try {
    fs.mkdirSync(input);
    fs.writeFileSync(path.join(input, 'warm-up.js'), '// warm-up\nexport const answer = 42; /* done */\n');
    process.chdir(folder);
    const run = await runCaptured([
      '--output', path.join(folder, 'output.txt'), '--style', 'plain', '--remove-comments', '--verbose', input,
    ]);
    if (run.exitCode !== 0 || run.retire) {
      return `the warm-up run failed (${run.exitCode}): ${run.stderr.text || run.stdout.text.slice(-2000)}`;
    }
    service.kept.clear();
    // The token cache marks each folder it has seen; this one is gone.
    const { getRepoSeenMarkerPath } = await import(urls.tokenCountCache);
    fs.rmSync(getRepoSeenMarkerPath([input]), { force: true });
    return null;
  } finally {
    process.chdir(os.tmpdir());
    fs.rmSync(folder, { recursive: true, force: true });
  }
}

async function main() {
  enableCompileCache();
  const packerVersion = readPackerVersion();
  const why = unservable(packerVersion);
  if (why) {
    fail(why);
    return;
  }
  registerHooks();
  process.stdout.write = capture('stdout');
  process.stderr.write = capture('stderr');
  process.exit = exitDuringRun;
  process.on('uncaughtException', (error) => onUncaught('Uncaught Exception', error));
  process.on('unhandledRejection', (reason) => onUncaught('Unhandled Promise Rejection', reason));
  try {
    ({ run: runCommandLine } = await import(urls.cliRun));
    ({ __lumbrelForgetRunState: forgetRunState } = await import(urls.outputSort));
    const { resolveFileLevel } = await import(libUrl('core/file/fileLevelResolve.js'));
    const { readRawFile } = await import(libUrl('core/file/fileRead.js'));
    const { buildFileDisplayPath, buildRootLabels, usesRootLabels } = await import(libUrl('core/packager/rootDisplayPath.js'));
    Object.assign(service.kept.packer, { resolveFileLevel, readRawFile, buildFileDisplayPath, buildRootLabels, usesRootLabels });
    ({ sortPaths: service.sortPaths } = await import(libUrl('core/file/filePathSort.js')));
    quietTrace((await import(urls.logger)).logger);
    await import(urls.defaultAction); // loaded lazily by the command line
    forgetRunState();
    if (typeof service.renewProgram !== 'function') throw new Error('the command parser was not wrapped');
    const failure =
      (await warmUp()) ||
      (poolModulePatched ? null : 'the worker pool module was not loaded through the hooks') ||
      (typeof service.ignoreFilter === 'function' ? null : 'the glob module was not loaded through the hooks');
    if (failure) {
      fail(failure);
      return;
    }
  } catch (error) {
    fail(`cannot load the packer: ${error && error.stack ? error.stack : error}`);
    return;
  }
  readRequests();
  sendFrame({ ready: true, packer: packerVersion });
}

// Loaded as a module (by tests), it only lends its fix of the worker pools.
if (require.main === module) main();
else module.exports = { TINYPOOL_ENTRY, withoutOrphanDispatch };

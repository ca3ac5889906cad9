'use strict';
// The per-file work of the packer kept between requests of the packer service
// (packer-service.cjs), so that a request re-does only the files that changed.
//
// What is kept, for each file of a request:
//
// - its processed content (after comment and empty-line removal, compression,
//   line numbers, base64 truncation: everything the packer's `processFiles`
//   does), keyed by the options that shape it, the file's path in the bundle
//   and a SHA-256 of the content the packer read;
// - the verdict of the secret scan (`runSecurityCheck`), keyed by the path in
//   the bundle and the same hash.
//
// Token counts need nothing here: the packer keeps them itself, keyed by the
// processed content, in memory for the life of this process.
//
// Which content a file has is known in one of two ways:
//
// - by reading it (the packer's own read): the hash is of what was read;
// - without reading it, when its identity (device, inode, size, modification
//   and change times in nanoseconds) is one seen before, together with the
//   hash of what was read then. The change time cannot be set back by a
//   user, so a file changed in place with its size and modification time
//   restored has another identity. Identities are recorded only for files
//   whose times lie more than TRUSTED_AGE_MS in the past when they are read,
//   so that a change within the file system's clock granularity cannot hide
//   behind an identity recorded just before it. A file is left unread only
//   when everything the request needs of it is kept (its processing for these
//   options, and its scan when the request scans); the packer then gets a
//   stand-in for its content, which the wrappers below resolve and which
//   never reaches anything else.
//
// Every file's result depends on its key alone (the packer processes and
// scans each file on its own), so the output assembled from kept and fresh
// results is the output of a full run, byte for byte.
//
// Bounds: at most MAX_FILES processed files and MAX_CHARACTERS characters of
// processed content; beyond that the entries used longest ago go, after the
// request. Everything goes when the token encoding changes. The data lives
// as long as this process: another packer version is another process.

const crypto = require('node:crypto');
const fs = require('node:fs');
const path = require('node:path');

const MAX_FILES = 100_000;
const MAX_CHARACTERS = 128 * 1024 * 1024;
const TRUSTED_AGE_MS = 2000n;

// Fields of the output options that shape only the bundle around the files,
// or which files there are, never a file's processed content. Every other
// field (also one a later packer adds) is part of the key.
const BUNDLE_ONLY_FIELDS = new Set([
  'filePath',
  'style',
  'parsableStyle',
  'filePathStyle',
  'headerText',
  'instructionFilePath',
  'fileSummary',
  'directoryStructure',
  'files',
  'topFilesLength',
  'copyToClipboard',
  'includeEmptyDirectories',
  'includeFullDirectoryStructure',
  'splitOutput',
  'tokenCountTree',
  'tokenBudget',
  'git',
  'stdout',
]);

// JSON with the keys of every object in order, so that equal options give equal text.
function stableJson(value) {
  if (Array.isArray(value)) return `[${value.map(stableJson).join(',')}]`;
  if (value && typeof value === 'object') {
    return `{${Object.keys(value)
      .sort()
      .filter((key) => value[key] !== undefined)
      .map((key) => `${JSON.stringify(key)}:${stableJson(value[key])}`)
      .join(',')}}`;
  }
  return JSON.stringify(value) ?? 'null';
}

class KeptWork {
  // `packer` holds the packer's own functions that the wrappers need:
  // resolveFileLevel, readRawFile, buildFileDisplayPath, buildRootLabels,
  // usesRootLabels (set before the first request). `onFault` hears of a
  // request that cannot be served right.
  constructor({ maxFiles = MAX_FILES, maxCharacters = MAX_CHARACTERS, packer = {}, onFault = () => {} } = {}) {
    this.maxFiles = maxFiles;
    this.maxCharacters = maxCharacters;
    this.packer = packer;
    this.onFault = onFault;
    this.processed = new Map(); // key → { content, tokens }, the one used longest ago first
    this.verdicts = new Map(); // key → the scan's result for the file, or null when clean
    this.identities = new Map(); // identity → hash of the content read, or { skipped } for files the packer skips
    this.characters = 0;
    this.encoding = undefined;
    // Stands in for the content of a file left unread; no file can hold it.
    this.standIn = `\u0000lumbrel-kept-${crypto.randomUUID()}:`;
    this.beginRequest();
  }

  // Per request: what it did, the hashes of the contents it read, the roots it packs.
  beginRequest() {
    this.counts = { unread: 0, processed: [0, 0], scanned: [0, 0] }; // [kept, done]
    this.hashes = new Map(); // content → hash, within a request
    this.entries = new WeakMap(); // processed file handed to the packer → its kept entry
    this.rootDirs = [];
  }

  clear() {
    this.processed.clear();
    this.verdicts.clear();
    this.identities.clear();
    this.characters = 0;
  }

  // Whether a request with `config` may use kept work at all: not when the
  // packer runs commands of the user's on the files (their output may change
  // with nothing else changing).
  static usable(config) {
    return !(config.enableFileProcessors && config.input?.processors?.length > 0);
  }

  hashOf(rawFile) {
    const { content } = rawFile;
    if (content.startsWith(this.standIn)) return content.slice(this.standIn.length);
    let hash = this.hashes.get(content);
    if (hash === undefined) {
      hash = crypto.createHash('sha256').update(content).digest('base64');
      this.hashes.set(content, hash);
    }
    return hash;
  }

  // A file the packer got a stand-in for, whose kept result is missing after all.
  missingStandIn(rawFile) {
    const error = new Error(`the kept work for ${rawFile.path} is missing`);
    this.onFault(error);
    return error;
  }

  // The packer's `pack`: notes the roots of the request.
  pack(realPack) {
    return (rootDirs, ...rest) => {
      this.rootDirs = Array.isArray(rootDirs) ? rootDirs : [];
      return realPack(rootDirs, ...rest);
    };
  }

  // The packer's `collectFiles`, leaving unread the files whose identity is
  // known and whose results the request needs are all kept.
  collectFiles(realCollectFiles) {
    return async (filePaths, rootDir, config, progressCallback, deps) => {
      const { readRawFile, buildFileDisplayPath, buildRootLabels, usesRootLabels } = this.packer;
      if (deps || !KeptWork.usable(config) || !readRawFile) {
        return realCollectFiles(filePaths, rootDir, config, progressCallback, deps);
      }
      this.forgetOnEncodingChange(config);
      const style = config.output.filePathStyle;
      const roots = this.rootDirs.length > 0 ? this.rootDirs : [rootDir];
      const labels = usesRootLabels(style) && roots.length > 1 ? buildRootLabels(roots, config.cwd) : undefined;
      const rootLabel = labels?.[roots.indexOf(rootDir)];
      const filePathOf = new Map(filePaths.map((filePath) => [path.resolve(rootDir, filePath), filePath]));
      const options = KeptWork.processingKey(config);
      const scans = Boolean(config.security?.enableSecurityCheck);

      const needsNothingNew = (filePath, hash) => {
        const shown = buildFileDisplayPath({ rootDir, filePath, cwd: config.cwd, filePathStyle: style, rootLabel });
        const level = this.packer.resolveFileLevel(shown, config.output);
        return (
          (level === 'directory-only' || this.processed.has(`${options}\0${shown}\0${hash}`)) &&
          (!scans || this.verdicts.has(`${shown}\0${hash}`))
        );
      };
      const read = async (fullPath, maxFileSize) => {
        // At once: a stat of a file in the system's caches costs microseconds,
        // far less than a trip through the thread pool.
        let stats = null;
        try {
          stats = fs.statSync(fullPath, { bigint: true, throwIfNoEntry: false }) ?? null;
        } catch {
          // The packer's read says what is wrong.
        }
        const identity = stats?.isFile() && stats.ino !== 0n ? `${stats.dev}:${stats.ino}:${stats.size}:${stats.mtimeNs}:${stats.ctimeNs}:${maxFileSize}` : null;
        const known = identity && this.identities.get(identity);
        if (known) {
          this.identities.delete(identity); // used now: to the end of the line
          this.identities.set(identity, known);
        }
        if (known && typeof known === 'object') {
          ++this.counts.unread;
          return { content: null, skippedReason: known.skipped };
        }
        const filePath = filePathOf.get(fullPath);
        if (known && filePath !== undefined && needsNothingNew(filePath, known)) {
          ++this.counts.unread;
          return { content: this.standIn + known };
        }
        const result = await readRawFile(fullPath, maxFileSize);
        const newest = stats ? (stats.mtimeNs > stats.ctimeNs ? stats.mtimeNs : stats.ctimeNs) : 0n;
        const trusted = identity && BigInt(Date.now()) - newest / 1000000n > TRUSTED_AGE_MS;
        if (trusted && result.content !== null) {
          this.identities.set(identity, this.hashOf(result));
        } else if (trusted && result.skippedReason && result.skippedReason !== 'binary-extension') {
          this.identities.set(identity, { skipped: result.skippedReason });
        }
        return result;
      };
      return realCollectFiles(filePaths, rootDir, config, progressCallback, { readRawFile: read });
    };
  }

  // Token counts are kept per processed content for one encoding.
  forgetOnEncodingChange(config) {
    const encoding = config.tokenCount?.encoding;
    if (encoding !== this.encoding) {
      this.clear();
      this.encoding = encoding;
    }
  }

  static processingKey(config) {
    const output = {};
    for (const [field, value] of Object.entries(config.output || {})) {
      if (!BUNDLE_ONLY_FIELDS.has(field)) output[field] = value;
    }
    return stableJson({ input: config.input, output });
  }

  // The packer's `processFiles`, re-doing only files without kept results.
  // `resolveFileLevel` is the packer's: files it shows in the tree only are
  // left out of the result, as the packer leaves them out.
  processFiles(realProcessFiles, resolveFileLevel) {
    return async (rawFiles, config, progressCallback, deps) => {
      if (deps || !KeptWork.usable(config)) return realProcessFiles(rawFiles, config, progressCallback, deps);
      this.forgetOnEncodingChange(config);
      const options = KeptWork.processingKey(config);
      const keys = [];
      const missing = [];
      for (const rawFile of rawFiles) {
        const level = rawFile.level ?? resolveFileLevel(rawFile.path, config.output);
        if (level === 'directory-only') {
          keys.push(null);
          continue;
        }
        const key = `${options}\0${rawFile.path}\0${this.hashOf(rawFile)}`;
        keys.push(key);
        if (this.processed.has(key)) continue;
        if (rawFile.content.startsWith(this.standIn)) throw this.missingStandIn(rawFile);
        missing.push(rawFile);
      }
      const fresh = missing.length > 0 ? await realProcessFiles(missing, config, progressCallback) : [];
      if (fresh.length !== missing.length) return realProcessFiles(rawFiles, config, progressCallback);

      const files = [];
      let next = 0;
      for (let i = 0; i < rawFiles.length; ++i) {
        const key = keys[i];
        if (key === null) continue;
        let entry = this.processed.get(key);
        if (entry === undefined) {
          entry = { content: fresh[next++].content };
          this.characters += entry.content.length;
          ++this.counts.processed[1];
        } else {
          this.processed.delete(key); // used now: to the end of the line
          ++this.counts.processed[0];
        }
        this.processed.set(key, entry);
        const file = { path: rawFiles[i].path, content: entry.content };
        this.entries.set(file, entry);
        files.push(file);
      }
      return files;
    };
  }

  // The packer's `calculateFileMetrics`, counting only files whose processed
  // content has no kept count for this encoding. (The packer would find the
  // others in its own cache, but only after hashing each file's content.)
  calculateFileMetrics(realCalculateFileMetrics) {
    return async (processedFiles, targetFilePaths, encoding, progressCallback, deps) => {
      const targets = new Set(targetFilePaths);
      const files = processedFiles.filter((file) => targets.has(file.path));
      const entries = files.map((file) => this.entries.get(file));
      const missing = files.filter((file, i) => entries[i]?.tokens === undefined);
      const fresh =
        missing.length > 0
          ? await realCalculateFileMetrics(missing, missing.map((file) => file.path), encoding, progressCallback, deps)
          : [];
      if (fresh.length !== missing.length) return realCalculateFileMetrics(processedFiles, targetFilePaths, encoding, progressCallback, deps);
      let next = 0;
      return files.map((file, i) => {
        const entry = entries[i];
        if (entry?.tokens !== undefined) return { path: file.path, charCount: file.content.length, tokenCount: entry.tokens };
        const result = fresh[next++];
        if (entry && entry.content === file.content) entry.tokens = result.tokenCount;
        return result;
      });
    };
  }

  // The packer's `runSecurityCheck`, scanning only files without a kept verdict.
  runSecurityCheck(realRunSecurityCheck) {
    return async (rawFiles, progressCallback, gitDiffResult, gitLogResult, deps) => {
      if (deps) return realRunSecurityCheck(rawFiles, progressCallback, gitDiffResult, gitLogResult, deps);
      const keys = rawFiles.map((rawFile) => `${rawFile.path}\0${this.hashOf(rawFile)}`);
      const missing = rawFiles.filter((_, i) => !this.verdicts.has(keys[i]));
      const standIn = missing.find((rawFile) => rawFile.content.startsWith(this.standIn));
      if (standIn) throw this.missingStandIn(standIn);
      const hasGitContent = Boolean(
        gitDiffResult?.workTreeDiffContent || gitDiffResult?.stagedDiffContent || gitLogResult?.logContent,
      );
      const fresh =
        missing.length > 0 || hasGitContent
          ? await realRunSecurityCheck(missing, progressCallback, gitDiffResult, gitLogResult)
          : [];
      const freshByPath = new Map(fresh.filter((result) => result.type === 'file').map((result) => [result.filePath, result]));

      // In the order of a full scan: the files as given, then the git contents.
      const results = [];
      for (let i = 0; i < rawFiles.length; ++i) {
        let verdict;
        if (this.verdicts.has(keys[i])) {
          verdict = this.verdicts.get(keys[i]);
          this.verdicts.delete(keys[i]);
          ++this.counts.scanned[0];
        } else {
          verdict = freshByPath.get(rawFiles[i].path) ?? null;
          ++this.counts.scanned[1];
        }
        this.verdicts.set(keys[i], verdict);
        if (verdict) results.push(verdict);
      }
      results.push(...fresh.filter((result) => result.type !== 'file'));
      return results;
    };
  }

  // After a request: within the bounds again, the entries used longest ago first.
  trim() {
    this.hashes = new Map();
    for (const [key, entry] of this.processed) {
      if (this.processed.size <= this.maxFiles && this.characters <= this.maxCharacters) break;
      this.processed.delete(key);
      this.characters -= entry.content.length;
    }
    for (const key of this.verdicts.keys()) {
      if (this.verdicts.size <= this.maxFiles) break;
      this.verdicts.delete(key);
    }
    for (const key of this.identities.keys()) {
      if (this.identities.size <= this.maxFiles) break;
      this.identities.delete(key);
    }
  }
}

module.exports = { KeptWork, stableJson, BUNDLE_ONLY_FIELDS };

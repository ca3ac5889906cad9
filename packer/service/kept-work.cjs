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
// The packer still reads every file: the hash is of what it read in this
// request, so a file changed in any way (also with its size and time
// restored) is processed and scanned again. Every file's result depends on
// its key alone (the packer processes and scans each file on its own), so
// the output assembled from kept and fresh results is the output of a full
// run, byte for byte.
//
// Bounds: at most MAX_FILES processed files and MAX_CHARACTERS characters of
// processed content; beyond that the entries used longest ago go, after the
// request. Everything goes when the token encoding changes. The data lives
// as long as this process: another packer version is another process.

const crypto = require('node:crypto');

const MAX_FILES = 100_000;
const MAX_CHARACTERS = 128 * 1024 * 1024;

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
  constructor({ maxFiles = MAX_FILES, maxCharacters = MAX_CHARACTERS } = {}) {
    this.maxFiles = maxFiles;
    this.maxCharacters = maxCharacters;
    this.processed = new Map(); // key → { content }, the one used longest ago first
    this.verdicts = new Map(); // key → the scan's result for the file, or null when clean
    this.characters = 0;
    this.encoding = undefined;
    this.hashes = new WeakMap(); // raw file → hash of its content, within a request
    this.resetCounts();
  }

  resetCounts() {
    this.counts = { processed: [0, 0], scanned: [0, 0] }; // [kept, done] in the current request
  }

  clear() {
    this.processed.clear();
    this.verdicts.clear();
    this.characters = 0;
  }

  // Whether a request with `config` may use kept work at all: not when the
  // packer runs commands of the user's on the files (their output may change
  // with nothing else changing).
  static usable(config) {
    return !(config.enableFileProcessors && config.input?.processors?.length > 0);
  }

  hashOf(rawFile) {
    let hash = this.hashes.get(rawFile);
    if (hash === undefined) {
      hash = crypto.createHash('sha256').update(rawFile.content).digest('base64');
      this.hashes.set(rawFile, hash);
    }
    return hash;
  }

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
        if (!this.processed.has(key)) missing.push(rawFile);
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
        files.push({ path: rawFiles[i].path, content: entry.content });
      }
      return files;
    };
  }

  // The packer's `runSecurityCheck`, scanning only files without a kept verdict.
  runSecurityCheck(realRunSecurityCheck) {
    return async (rawFiles, progressCallback, gitDiffResult, gitLogResult, deps) => {
      if (deps) return realRunSecurityCheck(rawFiles, progressCallback, gitDiffResult, gitLogResult, deps);
      const keys = rawFiles.map((rawFile) => `${rawFile.path}\0${this.hashOf(rawFile)}`);
      const missing = rawFiles.filter((_, i) => !this.verdicts.has(keys[i]));
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
    this.hashes = new WeakMap();
    for (const [key, entry] of this.processed) {
      if (this.processed.size <= this.maxFiles && this.characters <= this.maxCharacters) break;
      this.processed.delete(key);
      this.characters -= entry.content.length;
    }
    for (const key of this.verdicts.keys()) {
      if (this.verdicts.size <= this.maxFiles) break;
      this.verdicts.delete(key);
    }
  }
}

module.exports = { KeptWork, stableJson, BUNDLE_ONLY_FIELDS };
